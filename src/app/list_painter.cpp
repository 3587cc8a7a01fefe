#include "app/list_painter.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrinter>

#include <algorithm>

#include "app/qt_text.h"
#include "reports/summary.h"

namespace verdalia::app {
namespace {

using Cells = std::array<QString, 3>;

// A table of the page: its headings and rows, in the columns' widths 6 : 20.5 : 50.5. The
// summary's rows are made for it; the list's are read from the list as they are drawn.
struct Section {
  Cells headings;
  std::vector<Cells> rows;
  const ListContents *list = nullptr;

  std::size_t size() const { return list != nullptr ? list->size() : rows.size(); }
  Cells At(std::size_t row) const {
    if (list == nullptr) {
      return rows[row];
    }
    return {QString::number(list->Record(row)), list->Field(row), list->Message(row)};
  }
};

constexpr std::array<double, 3> kColumnUnits = {6.0, 20.5, 50.5};

QFont FontOf(double points, bool bold) {
  QFont font = QApplication::font();
  font.setPointSizeF(points);
  font.setBold(bold);
  // A spacing of 1/64 pixel is invisible but turns ligatures off, so "fi" stays two letters
  // for whoever searches or copies the text of an exported list.
  font.setLetterSpacing(QFont::AbsoluteSpacing, 1.0 / 64);
  return font;
}

std::vector<Section> SectionsOf(const ListContents &list, bool summary) {
  std::vector<Section> sections;
  if (summary) {
    Section groups{{QStringLiteral("Filas"), QStringLiteral("Campo"),
                    QStringLiteral("Descripción Error/Advertencia (primer registro)")},
                   {},
                   nullptr};
    for (const FindingGroup &group : list.Summary().groups) {
      groups.rows.push_back(
          {QString::number(group.rows), FromCp1252(group.field),
           FromCp1252(group.message) + QStringLiteral(" (registro %1)").arg(group.first_record)});
    }
    sections.push_back(std::move(groups));
  }
  sections.push_back({{QStringLiteral("Nro. Registro"), QStringLiteral("Campo"),
                       QStringLiteral("Descripción Error/Advertencia")},
                      {},
                      &list});
  return sections;
}

// Rows [first, last) of one section on one page, under its headings.
struct Block {
  std::size_t section;
  std::size_t first;
  std::size_t last;
};

// Everything about the pages that depends on the device: fonts measured on it, column
// places, row heights and which rows go on which page.
struct PageLayout {
  QRectF table; // the printable area, less half a rule on each side so no rule is clipped
  QFont header_font = FontOf(10, false);
  QFont header_bold = FontOf(10, true);
  QFont grid_font = FontOf(9, false);
  QFont grid_bold = FontOf(9, true);
  double rule_width = 1;
  double header_line = 0;
  double header_height = 0;
  double footer_height = 0;
  double padding = 0;
  std::array<double, 3> column_x{};
  std::array<double, 3> column_width{};
  std::vector<double> heading_heights;          // by section
  std::vector<std::vector<double>> row_heights; // by section and row
  std::vector<std::vector<Block>> pages;
};

// Word wrap, or wrapping anywhere for a word longer than its column.
int WrapFlags(const QFontMetricsF &metrics, const QString &text, double width) {
  const int words = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
  const QRectF box = metrics.boundingRect(QRectF(0, 0, width, 1e9), words, text);
  return box.width() <= width + 0.5 ? words : Qt::AlignLeft | Qt::AlignTop | Qt::TextWrapAnywhere;
}

// The height of a text wrapped in column `column`; an empty text takes none.
double TextHeight(const QFontMetricsF &metrics, const PageLayout &layout, const QString &text,
                  std::size_t column) {
  if (text.isEmpty()) {
    return 0;
  }
  const double width = layout.column_width[column] - 2 * layout.padding;
  return metrics.boundingRect(QRectF(0, 0, width, 1e9), WrapFlags(metrics, text, width), text)
      .height();
}

double CellsHeight(const QFontMetricsF &metrics, const PageLayout &layout, const Cells &cells) {
  double height = metrics.height();
  for (std::size_t c = 0; c < 3; ++c) {
    height = std::max(height, TextHeight(metrics, layout, cells[c], c));
  }
  return height + 2 * layout.padding;
}

// The heights of the list's rows: a record number never wraps, and a field or message is
// measured the first time it comes.
std::vector<double> ListRowHeights(const QFontMetricsF &metrics, const PageLayout &layout,
                                   const ListContents &list) {
  std::vector<double> fields(list.Fields().size(), -1);
  std::vector<double> messages(list.Messages().size(), -1);
  std::vector<double> heights;
  heights.reserve(list.size());
  for (std::size_t row = 0; row < list.size(); ++row) {
    double &field = fields[list.FieldId(row)];
    if (field < 0) {
      field = TextHeight(metrics, layout, list.Field(row), 1);
    }
    double &message = messages[list.MessageId(row)];
    if (message < 0) {
      message = TextHeight(metrics, layout, list.Message(row), 2);
    }
    heights.push_back(std::max({metrics.height(), field, message}) + 2 * layout.padding);
  }
  return heights;
}

// The columns share the table's width; the first widens, at the message column's expense,
// until each word of its heading fits.
void PlaceColumns(PageLayout &layout, const QFontMetricsF &bold, const Cells &headings) {
  const double total = kColumnUnits[0] + kColumnUnits[1] + kColumnUnits[2];
  for (std::size_t c = 0; c < 3; ++c) {
    layout.column_width[c] = layout.table.width() * kColumnUnits[c] / total;
  }
  double widest_word = 0;
  for (const QString &word : headings[0].split(QLatin1Char(' '))) {
    widest_word = std::max(widest_word, bold.horizontalAdvance(word));
  }
  const double first_width = widest_word + 2 * layout.padding + 1;
  if (layout.column_width[0] < first_width) {
    layout.column_width[2] -= first_width - layout.column_width[0];
    layout.column_width[0] = first_width;
  }
  layout.column_x = {0, layout.column_width[0], layout.column_width[0] + layout.column_width[1]};
}

// Rows never split across pages; a page always takes at least one row; a section that
// continues on a new page repeats its headings there.
void Paginate(PageLayout &layout, const std::vector<Section> &sections) {
  const double room = layout.table.height() - layout.header_height - layout.footer_height;
  layout.pages.emplace_back();
  double used = 0;
  for (std::size_t s = 0; s < sections.size(); ++s) {
    const auto &heights = layout.row_heights[s];
    std::size_t row = 0;
    do {
      const double first_row = row < heights.size() ? heights[row] : 0;
      if (!layout.pages.back().empty() && used + layout.heading_heights[s] + first_row > room) {
        layout.pages.emplace_back();
        used = 0;
      }
      Block block{s, row, row};
      used += layout.heading_heights[s];
      while (row < heights.size() && (block.last == block.first || used + heights[row] <= room)) {
        used += heights[row++];
        block.last = row;
      }
      layout.pages.back().push_back(block);
      if (row < heights.size()) {
        layout.pages.emplace_back();
        used = 0;
      }
    } while (row < heights.size());
    used += layout.padding * 4; // a gap before the next section
  }
}

PageLayout Measure(QPaintDevice &device, std::size_t header_lines,
                   const std::vector<Section> &sections) {
  PageLayout layout;
  layout.rule_width = std::max(1.0, device.logicalDpiY() / 144.0);
  layout.table = QRectF(0, 0, device.width(), device.height())
                     .adjusted(layout.rule_width / 2, 0, -layout.rule_width / 2, 0);
  const QFontMetricsF header(layout.header_font, &device);
  const QFontMetricsF header_bold(layout.header_bold, &device);
  const QFontMetricsF grid(layout.grid_font, &device);
  const QFontMetricsF grid_bold(layout.grid_bold, &device);

  layout.header_line = std::max(header.lineSpacing(), header_bold.lineSpacing());
  layout.header_height = layout.header_line * static_cast<double>(header_lines);
  layout.footer_height = header.lineSpacing() * 2;
  layout.padding = grid.height() * 0.25;
  PlaceColumns(layout, grid_bold, sections.back().headings);
  for (const Section &section : sections) {
    layout.heading_heights.push_back(CellsHeight(grid_bold, layout, section.headings));
    auto &heights = layout.row_heights.emplace_back();
    if (section.list != nullptr) {
      heights = ListRowHeights(grid, layout, *section.list);
      continue;
    }
    heights.reserve(section.rows.size());
    for (const Cells &cells : section.rows) {
      heights.push_back(CellsHeight(grid, layout, cells));
    }
  }
  Paginate(layout, sections);
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
  double x = layout.table.left();
  if (alignment == Qt::AlignHCenter) {
    x = layout.table.center().x() - width / 2;
  } else if (alignment == Qt::AlignRight) {
    x = layout.table.right() - width;
  }
  for (const auto &[text, font] : pieces) {
    painter.setFont(*font);
    const QFontMetricsF metrics(*font, painter.device());
    painter.drawText(QPointF(x, y + metrics.ascent()), text);
    x += metrics.horizontalAdvance(text);
  }
}

// Rows are set at the top of their cells; headings in the middle, as the grid shows them.
void DrawCells(QPainter &painter, const PageLayout &layout, const Cells &cells, double y,
               double height, bool heading) {
  const QFontMetricsF metrics(painter.font(), painter.device());
  for (std::size_t c = 0; c < 3; ++c) {
    const double width = layout.column_width[c] - 2 * layout.padding;
    const QRectF cell(layout.table.left() + layout.column_x[c] + layout.padding, y + layout.padding,
                      width, height - 2 * layout.padding);
    const int flags = heading ? Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap
                              : WrapFlags(metrics, cells[c], width);
    painter.drawText(cell, flags, cells[c]);
  }
}

// One block: its section's headings, shaded as the grid shows them, then its rows, in a frame
// with the column rules. Returns where it ends.
double DrawBlock(QPainter &painter, const PageLayout &layout, const Section &section,
                 const Block &block, double y) {
  QPen rule(QColor(150, 150, 150));
  rule.setWidthF(layout.rule_width);
  const double left = layout.table.left();
  const double top = y;
  const double heading = layout.heading_heights[block.section];
  painter.fillRect(QRectF(left, y, layout.table.width(), heading), QColor(225, 225, 225));
  painter.setFont(layout.grid_bold);
  DrawCells(painter, layout, section.headings, y, heading, true);
  y += heading;
  painter.setFont(layout.grid_font);
  for (std::size_t r = block.first; r < block.last; ++r) {
    const double height = layout.row_heights[block.section][r];
    DrawCells(painter, layout, section.At(r), y, height, false);
    y += height;
    painter.setPen(rule);
    painter.drawLine(QPointF(left, y), QPointF(layout.table.right(), y));
    painter.setPen(Qt::black);
  }
  painter.setPen(rule);
  painter.drawRect(QRectF(left, top, layout.table.width(), y - top));
  for (std::size_t c = 1; c < 3; ++c) {
    const double x = left + layout.column_x[c];
    painter.drawLine(QPointF(x, top), QPointF(x, y));
  }
  painter.setPen(Qt::black);
  return y;
}

void DrawPage(QPainter &painter, const PageLayout &layout, const std::vector<HeaderLine> &header,
              const std::vector<Section> &sections, int page) {
  painter.setPen(Qt::black);
  double y = layout.table.top();
  for (const HeaderLine &line : header) {
    DrawPart(painter, layout, line.left, Qt::AlignLeft, y, page);
    DrawPart(painter, layout, line.centre, Qt::AlignHCenter, y, page);
    DrawPart(painter, layout, line.right, Qt::AlignRight, y, page);
    y += layout.header_line;
  }
  for (const Block &block : layout.pages[static_cast<std::size_t>(page - 1)]) {
    y = DrawBlock(painter, layout, sections[block.section], block, y) + layout.padding * 4;
  }
  painter.setFont(layout.header_font);
  const QRectF footer(layout.table.left(), layout.table.bottom() - layout.footer_height,
                      layout.table.width(), layout.footer_height);
  painter.drawText(footer, Qt::AlignHCenter | Qt::AlignBottom, QString::fromLatin1(kPrintFooter));
}

} // namespace

ListPainter::ListPainter(std::vector<HeaderLine> header, std::shared_ptr<const ListContents> list)
    : m_header(std::move(header)), m_list(std::move(list)) {}

ListPainter::ListPainter(std::vector<HeaderLine> header, ResultList rows)
    : ListPainter(std::move(header), std::make_shared<const ListContents>(std::move(rows))) {}

bool ListPainter::Paint(QPagedPaintDevice &device, const Progress &progress, int first,
                        int last) const {
  QPainter painter;
  if (!painter.begin(&device)) {
    return false;
  }
  const std::vector<Section> sections = SectionsOf(*m_list, m_summary);
  const PageLayout layout = Measure(device, m_header.size(), sections);
  const int pages = static_cast<int>(layout.pages.size());
  first = std::clamp(first, 1, pages);
  last = last == 0 ? pages : std::clamp(last, first, pages);
  for (int page = first; page <= last; ++page) {
    if (page > first) {
      device.newPage();
    }
    DrawPage(painter, layout, m_header, sections, page);
    if (progress && !progress(page - first + 1, last - first + 1)) {
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
