#pragma once

#include <QPoint>
#include <QPointer>
#include <QWidget>

class QLabel;
class QToolButton;

namespace velmora::app {

// The title bar of a frameless window, drawn in the program's theme: the window's icon and
// caption, a minimize and a close button (no maximize), and a drag area that moves the window.
// It follows the window's title and icon until SetCaption gives it a text of its own.
class TitleStrip : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kHeight = 30;

    explicit TitleStrip(QWidget* window);

    void SetCaption(const QString& caption);
    QString Caption() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ShowWindowIcon();

    QPointer<QWidget> m_window;
    QLabel* m_icon = nullptr;
    QLabel* m_caption = nullptr;
    QToolButton* m_minimize = nullptr;
    QToolButton* m_close = nullptr;
    bool m_ownCaption = false;
    bool m_dragging = false;
    QPoint m_grabOffset;  // cursor position minus window position at the press
};

}  // namespace velmora::app
