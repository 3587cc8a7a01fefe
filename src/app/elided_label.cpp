#include "app/elided_label.h"

#include <QPainter>
#include <QStyle>

namespace verdalia::app {

ElidedLabel::ElidedLabel(Qt::TextElideMode mode, QWidget *parent) : QLabel(parent), m_mode(mode) {
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
  setWordWrap(false);
}

void ElidedLabel::SetText(const QString &text) {
  setText(text);
  UpdateTip();
}

void ElidedLabel::SetWidths(int minimum_chars, int preferred_chars) {
  m_minimum_chars = minimum_chars;
  m_preferred_chars = preferred_chars;
  updateGeometry();
}

int ElidedLabel::CharsWidth(int chars) const {
  const int frame = 2 * frameWidth() + 2 * margin() + 2 * indent();
  // Figures are the widest ordinary characters: a RUT or a period counted in them fits whole.
  return fontMetrics().horizontalAdvance(QLatin1Char('0')) * chars + std::max(0, frame);
}

int ElidedLabel::TextRoom() const {
  return contentsRect().width() - 2 * margin() - (indent() > 0 ? indent() : 0);
}

bool ElidedLabel::Elided() const {
  return !text().isEmpty() && fontMetrics().horizontalAdvance(text()) > TextRoom();
}

QSize ElidedLabel::minimumSizeHint() const {
  QSize size = QLabel::minimumSizeHint();
  size.setWidth(std::min(size.width(), CharsWidth(m_minimum_chars)));
  return size;
}

QSize ElidedLabel::sizeHint() const {
  QSize size = QLabel::sizeHint();
  if (m_preferred_chars > 0) {
    size.setWidth(CharsWidth(m_preferred_chars));
  }
  return size;
}

void ElidedLabel::paintEvent(QPaintEvent *event) {
  if (!Elided()) {
    QLabel::paintEvent(event);
    return;
  }
  QFrame::paintEvent(event); // the frame alone
  QPainter painter(this);
  const QRect room = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
  const QString shown = fontMetrics().elidedText(text(), m_mode, room.width());
  style()->drawItemText(&painter, room, static_cast<int>(alignment()), palette(), isEnabled(),
                        shown, foregroundRole());
}

void ElidedLabel::resizeEvent(QResizeEvent *event) {
  QLabel::resizeEvent(event);
  UpdateTip();
}

void ElidedLabel::UpdateTip() {
  setToolTip(Elided() ? text() : QString());
}

} // namespace verdalia::app
