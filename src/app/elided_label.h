#pragma once

#include <QLabel>

namespace verdalia::app {

// A label that never widens its window: a text too long for the room it is given shows cut
// with "…" (in the middle for a path, so its file name stays; at the end for the rest), the
// whole text then in its tooltip. It asks for the width of `minimum_chars` figures at least
// and prefers `preferred_chars` figures (0: its whole text).
class ElidedLabel : public QLabel {
  Q_OBJECT
public:
  explicit ElidedLabel(Qt::TextElideMode mode = Qt::ElideRight, QWidget *parent = nullptr);

  void SetText(const QString &text);
  void SetWidths(int minimum_chars, int preferred_chars);
  // Whether the text is cut where it stands now.
  bool Elided() const;

  QSize minimumSizeHint() const override;
  QSize sizeHint() const override;

protected:
  void paintEvent(QPaintEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;

private:
  int TextRoom() const;
  int CharsWidth(int chars) const;
  void UpdateTip();

  Qt::TextElideMode m_mode;
  int m_minimum_chars = 8;
  int m_preferred_chars = 0;
};

} // namespace verdalia::app
