#include "app/record_viewer.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QVBoxLayout>

#include <algorithm>

#include "app/elided_label.h"
#include "app/qt_text.h"

namespace verdalia::app {
namespace {

// "....+....1....+....2": a mark every five columns and the tens digit every ten.
QString Ruler(int length) {
  QString ruler;
  ruler.reserve(length);
  for (int column = 1; column <= length; ++column) {
    if (column % 10 == 0) {
      ruler += QChar(u'0' + (column / 10) % 10);
    } else if (column % 5 == 0) {
      ruler += QLatin1Char('+');
    } else {
      ruler += QLatin1Char('.');
    }
  }
  return ruler;
}

// One character per byte, so columns stay where the definitions place them; control
// characters show as their pictures instead of moving the rest of the line.
QString DisplayLine(std::string_view line) {
  QString text = FromCp1252(Cp1252View(line));
  for (QChar &c : text) {
    if (c.unicode() < 0x20) {
      c = QChar(static_cast<char16_t>(0x2400 + c.unicode()));
    } else if (c.unicode() == 0x7F) {
      c = QChar(u'\u2421');
    }
  }
  return text;
}

} // namespace

RecordViewer::RecordViewer(QWidget *parent)
    : QWidget(parent), m_caption(new ElidedLabel(Qt::ElideRight, this)),
      m_text(new QPlainTextEdit(this)), m_detail(new QLabel(this)) {
  m_detail->setObjectName(QStringLiteral("lblDetalle"));
  m_detail->setTextFormat(Qt::RichText);
  m_detail->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse |
                                    Qt::LinksAccessibleByKeyboard);
  m_detail->setWordWrap(true);
  connect(m_detail, &QLabel::linkActivated, this,
          [this](const QString &link) { emit recordChosen(link.mid(1).toInt()); });
  m_caption->setObjectName(QStringLiteral("lblRegistro"));
  m_caption->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_caption->SetWidths(12, 0);
  m_text->setObjectName(QStringLiteral("txtRegistro"));
  m_text->setReadOnly(true);
  m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
  m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  const int lines_height = m_text->fontMetrics().lineSpacing() * 2;
  m_text->setFixedHeight(lines_height + 2 * m_text->frameWidth() + 8 +
                         m_text->horizontalScrollBar()->sizeHint().height());
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(m_caption);
  layout->addWidget(m_text);
  layout->addWidget(m_detail);
  ShowRow(nullptr, nullptr);
}

void RecordViewer::SetRecords(std::vector<std::string> lines, std::optional<FileKind> kind) {
  m_lines = std::move(lines);
  m_kind = kind;
}

namespace {

// The names a row's field column holds: one, or several joined by "+" or " y ". A name the
// rule writes with a blank ("VER CONTRATANTE") is the definition's with an underscore.
std::vector<std::string> NamedFields(Cp1252View text) {
  const std::string_view field = text.bytes();
  std::vector<std::string> names;
  std::string name;
  auto flush = [&] {
    const auto first = name.find_first_not_of(' ');
    const auto last = name.find_last_not_of(' ');
    if (first != std::string::npos) {
      std::string trimmed = name.substr(first, last - first + 1);
      std::replace(trimmed.begin(), trimmed.end(), ' ', '_');
      names.push_back(std::move(trimmed));
    }
    name.clear();
  };
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '+') {
      flush();
    } else if (field.substr(i).starts_with(" y ")) {
      flush();
      i += 2;
    } else {
      name += field[i];
    }
  }
  flush();
  return names;
}

// Columns [first, last) of the record's line, lit.
QTextEdit::ExtraSelection Highlight(const QTextBlock &block, int first, int last) {
  QTextEdit::ExtraSelection selection;
  selection.cursor = QTextCursor(block);
  selection.cursor.setPosition(block.position() + first);
  selection.cursor.setPosition(block.position() + last, QTextCursor::KeepAnchor);
  selection.format.setBackground(QColor(255, 214, 102));
  selection.format.setForeground(QColor(110, 0, 0));
  selection.format.setFontWeight(QFont::Bold);
  return selection;
}

} // namespace

namespace {

// The characters of a text the detail shows; a longer one is cut there and ends in "…".
// A value of hundreds of columns (a filler of the header) has no blank to wrap at, and
// shown whole it would widen the window past the screen; the record above shows it whole.
constexpr std::size_t kShownCharacters = 80;

// A text of the file or the definitions as the detail shows it: between guillemets, so that
// blanks show, one character a byte, HTML-escaped.
QString Quoted(std::string_view text) {
  const bool cut = text.size() > kShownCharacters;
  return QStringLiteral("«") + DisplayLine(text.substr(0, kShownCharacters)).toHtmlEscaped() +
         (cut ? QStringLiteral("…»") : QStringLiteral("»"));
}

} // namespace

// "Leído: «1500O» (posición 12, largo 5) · Esperado: «7» · Otro registro: 5", the records
// as links "#5".
QString DetailHtml(const FindingDetail &detail) {
  QStringList parts;
  if (detail.value_start > 0) {
    parts << QStringLiteral("Leído: %1 (posición %2, largo %3)")
                 .arg(Quoted(detail.value))
                 .arg(detail.value_start)
                 .arg(detail.value.size());
  }
  if (!detail.expected.empty()) {
    parts << QStringLiteral("Esperado: %1").arg(Quoted(detail.expected));
  }
  if (!detail.related.empty()) {
    QStringList links;
    for (const int record : detail.related) {
      links << QStringLiteral("<a href=\"#%1\">%1</a>").arg(record);
    }
    parts << (detail.related.size() == 1 ? QStringLiteral("Otro registro: ")
                                         : QStringLiteral("Otros registros: ")) +
                 links.join(QStringLiteral(", "));
  }
  return parts.join(QStringLiteral(" · "));
}

void RecordViewer::ShowRow(const ReferenceData *reference, const ResultRow *row,
                           const FindingDetail *detail) {
  m_highlights.clear();
  m_text->setExtraSelections({});
  m_detail->setText(detail != nullptr ? DetailHtml(*detail) : QString());
  m_detail->setVisible(detail != nullptr);
  if (row == nullptr || row->record < 1 ||
      static_cast<std::size_t>(row->record) >= m_lines.size()) {
    m_caption->SetText(
        row == nullptr ? QStringLiteral("Seleccione una fila para ver su registro.")
                       : QStringLiteral("Registro %1: no está en el archivo.").arg(row->record));
    m_text->clear();
    return;
  }
  const std::string &line = m_lines[static_cast<std::size_t>(row->record)];
  const QString shown = DisplayLine(line);
  m_text->setPlainText(Ruler(static_cast<int>(shown.size())) + QLatin1Char('\n') + shown);

  QString caption = QStringLiteral("Registro %1").arg(row->record);
  QList<QTextEdit::ExtraSelection> selections;
  const QTextBlock block = m_text->document()->findBlockByNumber(1);
  for (const std::string &name : NamedFields(row->field)) {
    const std::optional<Span> span =
        reference && m_kind && !line.empty()
            ? reference->SpanOfField(*m_kind, std::string_view(line).substr(0, 1), name)
            : std::nullopt;
    if (!span) {
      caption += QStringLiteral(" · ") + FromCp1252(Cp1252View(name));
      continue;
    }
    caption += QStringLiteral(" · %1: posición %2, largo %3")
                   .arg(FromCp1252(Cp1252View(name)))
                   .arg(span->start)
                   .arg(span->length);
    const auto size = static_cast<std::size_t>(shown.size());
    const int first = static_cast<int>(std::min(span->start - 1, size));
    const int last = static_cast<int>(std::min(span->start - 1 + span->length, size));
    if (last <= first) {
      caption += QStringLiteral(" (el registro termina antes del campo)");
      continue;
    }
    m_highlights.emplace_back(first, last);
    selections.append(Highlight(block, first, last));
  }
  m_text->setExtraSelections(selections);
  if (!m_highlights.empty()) {
    // Bring the first field into view.
    QTextCursor cursor(block);
    cursor.setPosition(block.position() + m_highlights.front().second);
    m_text->setTextCursor(cursor);
    m_text->ensureCursorVisible();
    cursor.setPosition(block.position() + m_highlights.front().first);
    m_text->setTextCursor(cursor);
    m_text->ensureCursorVisible();
  }
  m_caption->SetText(caption);
}

void RecordViewer::ShowRecord(const ReferenceData *reference, int record) {
  const ResultRow row{record, {}, {}};
  ShowRow(reference, &row);
  if (record >= 1 && static_cast<std::size_t>(record) < m_lines.size()) {
    m_caption->SetText(
        QStringLiteral("Registro %1 (ninguna fila de la lista lo nombra)").arg(record));
  }
}

QString RecordViewer::Caption() const {
  return m_caption->text();
}

QString RecordViewer::RecordText() const {
  return m_text->document()->findBlockByNumber(1).text();
}

QString RecordViewer::DetailText() const {
  QTextDocument document;
  document.setHtml(m_detail->text());
  return document.toPlainText();
}

} // namespace verdalia::app
