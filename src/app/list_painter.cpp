#include "app/list_painter.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <array>

#include "app/qt_text.h"

namespace verdalia::app {
namespace {

constexpr std::array<double, 3> kColumnUnits = {6.0, 20.5, 50.5};
const std::array<QString, 3> kHeadings = {QStringLiteral("Nro. Registro"), QStringLiteral("Campo"),
                                          QStringLiteral("Descripción Error/Advertencia")};

QFont FontOf(double points, bool bold) {
  QFont font = QApplication::font();
  font.setPointSizeF(points);
  font.setBold(bold);
  // A spacing of 1/64 pixel is invisible but turns ligatures off, so "fi" stays two letters
  // for whoever searches or copies the text of an exported list.
  font.setLetterSpacing(QFont::AbsoluteSpacing, 1.0 / 64);
  return font;
}

// Everything about the pages that depends on the device: fonts measured on it, column
// places, row heights and which rows go on which page.
struct PageLayout {
  QRectF page;
  QFont header_font = FontOf(10, false);
  QFont header_bold = FontOf(10, true);
  QFont grid_font = FontOf(9, false);
  QFont grid_bold = FontOf(9, true);
  double header_line = 0;
  double header_height = 0;
  double footer_height = 0;
  double padding = 0;
  double heading_height = 0;
  std::array<double, 3> column_x{};
  std::array<double, 3> column_width{};
  std::vector<double> row_heights;
  std::vector<std::pair<std::size_t, std::size_t>> pages; // rows [first, last) of each page
};

// Word wrap, or wrapping anywhere for a word longer than its column.
int WrapFlags(const QFontMetricsF &metrics, const QString &text, double width) {
  const int words = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
  const QRectF box = metrics.boundingRect(QRectF(0, 0, width, 1e9), words, text);
  return box.width() <= width + 0.5 ? words : Qt::AlignLeft | Qt::AlignTop | Qt::TextWrapAnywhere;
}

double TextHeight(const QFontMetricsF &metrics, const QString &text, double width) {
  if (text.isEmpty()) {
    return metrics.height();
  }
  return metrics.boundingRect(QRectF(0, 0, width, 1e9), WrapFlags(metrics, text, width), text)
      .height();
}

std::array<QString, 3> Cells(const ResultRow &row) {
  return {QString::number(row.record), FromCp1252(row.field), FromCp1252(row.message)};
}

PageLayout Measure(QPaintDevice &device, std::size_t header_lines, const ResultList &rows) {
  PageLayout layout;
  layout.page = QRectF(0, 0, device.width(), device.height());
  const QFontMetricsF header(layout.header_font, &device);
  const QFontMetricsF header_bold(layout.header_bold, &device);
  const QFontMetricsF grid(layout.grid_font, &device);
  const QFontMetricsF grid_bold(layout.grid_bold, &device);

  layout.header_line = std::max(header.lineSpacing(), header_bold.lineSpacing());
  layout.header_height = layout.header_line * static_cast<double>(header_lines);
  layout.footer_height = header.lineSpacing() * 2;
  layout.padding = grid.height() * 0.25;

  const double total = kColumnUnits[0] + kColumnUnits[1] + kColumnUnits[2];
  for (std::size_t c = 0; c < 3; ++c) {
    layout.column_width[c] = layout.page.width() * kColumnUnits[c] / total;
  }
  // The first column is narrow: it widens, at the message column's expense, until each word
  // of its heading fits.
  double widest_word = 0;
  for (const QString &word : kHeadings[0].split(QLatin1Char(' '))) {
    widest_word = std::max(widest_word, grid_bold.horizontalAdvance(word));
  }
  const double first_width = widest_word + 2 * layout.padding + 1;
  if (layout.column_width[0] < first_width) {
    layout.column_width[2] -= first_width - layout.column_width[0];
    layout.column_width[0] = first_width;
  }
  double x = 0;
  for (std::size_t c = 0; c < 3; ++c) {
    layout.column_x[c] = x;
    x += layout.column_width[c];
  }

  double heading = 0;
  for (std::size_t c = 0; c < 3; ++c) {
    heading = std::max(
        heading, TextHeight(grid_bold, kHeadings[c], layout.column_width[c] - 2 * layout.padding));
  }
  layout.heading_height = heading + 2 * layout.padding;

  layout.row_heights.reserve(rows.size());
  for (const ResultRow &row : rows) {
    const auto cells = Cells(row);
    double height = 0;
    for (std::size_t c = 0; c < 3; ++c) {
      height =
          std::max(height, TextHeight(grid, cells[c], layout.column_width[c] - 2 * layout.padding));
    }
    layout.row_heights.push_back(height + 2 * layout.padding);
  }

  // Rows never split across pages; a page always takes at least one row.
  const double room =
      layout.page.height() - layout.header_height - layout.footer_height - layout.heading_height;
  std::size_t first = 0;
  while (first < rows.size()) {
    std::size_t last = first;
    double used = 0;
    while (last < rows.size() && (last == first || used + layout.row_heights[last] <= room)) {
      used += layout.row_heights[last];
      ++last;
    }
    layout.pages.emplace_back(first, last);
    first = last;
  }
  if (layout.pages.empty()) {
    layout.pages.emplace_back(0, 0); // an empty list still prints its header and headings
  }
  return layout;
}

void DrawPart(QPainter &painter, const PageLayout &layout, const std::vector<HeaderRun> &part,
              Qt::Alignment alignment, double y, int page) {
  if (part.empty()) {
    return;
  }
  std::vector<std::pair<QString, const QFont *>> pieces;
  double width = 0;
  for (const HeaderRun &run : part) {
    const QFont *font = run.bold ? &layout.header_bold : &layout.header_font;
    const QString text = run.page_number ? QString::number(page) : FromCp1252(run.text);
    width += QFontMetricsF(*font, painter.device()).horizontalAdvance(text);
    pieces.emplace_back(text, font);
  }
  double x = layout.page.left();
  if (alignment == Qt::AlignHCenter) {
    x = layout.page.center().x() - width / 2;
  } else if (alignment == Qt::AlignRight) {
    x = layout.page.right() - width;
  }
  for (const auto &[text, font] : pieces) {
    painter.setFont(*font);
    const QFontMetricsF metrics(*font, painter.device());
    painter.drawText(QPointF(x, y + metrics.ascent()), text);
    x += metrics.horizontalAdvance(text);
  }
}

void DrawPage(QPainter &painter, const PageLayout &layout, const std::vector<HeaderLine> &header,
              const ResultList &rows, int page) {
  painter.setPen(Qt::black);
  double y = layout.page.top();
  for (const HeaderLine &line : header) {
    DrawPart(painter, layout, line.left, Qt::AlignLeft, y, page);
    DrawPart(painter, layout, line.centre, Qt::AlignHCenter, y, page);
    DrawPart(painter, layout, line.right, Qt::AlignRight, y, page);
    y += layout.header_line;
  }

  const double resolution = painter.device()->logicalDpiY();
  QPen rule(QColor(150, 150, 150));
  rule.setWidthF(std::max(1.0, resolution / 144.0));
  const double left = layout.page.left();
  const double right = left + layout.page.width();
  const double top = y;

  // Column headings, shaded as the grid shows them.
  painter.fillRect(QRectF(left, y, layout.page.width(), layout.heading_height),
                   QColor(225, 225, 225));
  painter.setFont(layout.grid_bold);
  for (std::size_t c = 0; c < 3; ++c) {
    const QRectF cell(left + layout.column_x[c] + layout.padding, y + layout.padding,
                      layout.column_width[c] - 2 * layout.padding,
                      layout.heading_height - 2 * layout.padding);
    painter.drawText(cell, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, kHeadings[c]);
  }
  y += layout.heading_height;

  const QFontMetricsF metrics(layout.grid_font, painter.device());
  painter.setFont(layout.grid_font);
  const auto [first, last] = layout.pages[static_cast<std::size_t>(page - 1)];
  for (std::size_t r = first; r < last; ++r) {
    const auto cells = Cells(rows[r]);
    const double height = layout.row_heights[r];
    for (std::size_t c = 0; c < 3; ++c) {
      const double width = layout.column_width[c] - 2 * layout.padding;
      const QRectF cell(left + layout.column_x[c] + layout.padding, y + layout.padding, width,
                        height - 2 * layout.padding);
      painter.drawText(cell, WrapFlags(metrics, cells[c], width), cells[c]);
    }
    y += height;
    painter.setPen(rule);
    painter.drawLine(QPointF(left, y), QPointF(right, y));
    painter.setPen(Qt::black);
  }

  painter.setPen(rule);
  painter.drawRect(QRectF(left, top, layout.page.width(), y - top));
  for (std::size_t c = 1; c < 3; ++c) {
    const double x = left + layout.column_x[c];
    painter.drawLine(QPointF(x, top), QPointF(x, y));
  }
  painter.setPen(Qt::black);

  painter.setFont(layout.header_font);
  const QRectF footer(left, layout.page.bottom() - layout.footer_height, layout.page.width(),
                      layout.footer_height);
  painter.drawText(footer, Qt::AlignHCenter | Qt::AlignBottom, QString::fromLatin1(kPrintFooter));
}

} // namespace

ListPainter::ListPainter(std::string header_codes, ResultList rows)
    : m_header_codes(std::move(header_codes)), m_header(ParseHeaderCodes(m_header_codes)),
      m_rows(std::move(rows)) {}

bool ListPainter::Paint(QPagedPaintDevice &device, const Progress &progress) const {
  QPainter painter;
  if (!painter.begin(&device)) {
    return false;
  }
  const PageLayout layout = Measure(device, m_header.size(), m_rows);
  const int pages = static_cast<int>(layout.pages.size());
  for (int page = 1; page <= pages; ++page) {
    if (page > 1) {
      device.newPage();
    }
    DrawPage(painter, layout, m_header, m_rows, page);
    if (progress && !progress(page, pages)) {
      if (auto *printer = dynamic_cast<QPrinter *>(&device)) {
        printer->abort();
      }
      painter.end();
      return false;
    }
  }
  return painter.end();
}

} // namespace verdalia::app
