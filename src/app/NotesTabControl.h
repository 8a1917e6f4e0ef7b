#pragma once

#include <QIcon>
#include <QTabBar>
#include <QWidget>

#include <array>

namespace velmora::app {

// A tab control whose pages place their controls relative to the control's own top-left
// corner, tab strip included, with fixed tab sizes and per-tab enabling. Tabs count from 1.
class NotesTabControl : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kTabHeight = 22;

    NotesTabControl(const QRect& geometry, const QString& firstCaption, int firstWidth,
                    const QString& secondCaption, int secondWidth, QWidget* parent = nullptr);

    // The page of tab; children at (x, y) appear at (x, y) of the whole control.
    QWidget* Page(int tab) const;

    int SelectedTab() const;
    void SelectTab(int tab);
    void SetTabEnabled(int tab, bool enabled);
    void SetTabIcon(int tab, const QIcon& icon);

  signals:
    void selectedTabChanged(int tab);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void ShowPage(int index);
    void LayOut();

    QTabBar* m_bar = nullptr;
    QWidget* m_pane = nullptr;
    std::array<QWidget*, 2> m_pages{};
};

}  // namespace velmora::app
