#include "app/NotesTabControl.h"

#include <QFrame>

namespace velmora::app {

namespace {

class FixedTabBar : public QTabBar {
  public:
    FixedTabBar(std::array<int, 2> widths, QWidget* parent) : QTabBar(parent), m_widths(widths) {}

  protected:
    QSize tabSizeHint(int index) const override {
        const int width = index >= 0 && index < 2 ? m_widths[static_cast<std::size_t>(index)]
                                                  : QTabBar::tabSizeHint(index).width();
        return {width, NotesTabControl::kTabHeight};
    }
    QSize minimumTabSizeHint(int index) const override { return tabSizeHint(index); }

  private:
    std::array<int, 2> m_widths;
};

}  // namespace

NotesTabControl::NotesTabControl(const QRect& geometry, const QString& firstCaption, int firstWidth,
                                 const QString& secondCaption, int secondWidth, QWidget* parent)
    : QWidget(parent) {
    setGeometry(geometry);
    m_pane = new QFrame(this);
    m_pane->setObjectName(QStringLiteral("NotesTabPane"));
    m_pane->setStyleSheet(QStringLiteral(
        "#NotesTabPane { background: #f8fbfd; border: 1px solid #9db4c8; border-radius: 3px; }"));

    m_bar = new FixedTabBar({firstWidth, secondWidth}, this);
    m_bar->setObjectName(QStringLiteral("NotesTabBar"));
    m_bar->setDrawBase(false);
    m_bar->setExpanding(false);
    m_bar->setUsesScrollButtons(false);
    m_bar->setElideMode(Qt::ElideNone);
    // The tabs have fixed widths; the theme's roomy padding would cut their captions.
    m_bar->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 1px 2px; min-width: 0px; }"));
    m_bar->addTab(firstCaption);
    m_bar->addTab(secondCaption);

    for (std::size_t i = 0; i < m_pages.size(); ++i) {
        m_pages[i] = new QWidget(this);
        m_pages[i]->setObjectName(QStringLiteral("NotesTabPage%1").arg(i + 1));
    }
    m_bar->raise();
    connect(m_bar, &QTabBar::currentChanged, this, [this](int index) {
        ShowPage(index);
        emit selectedTabChanged(index + 1);
    });
    ShowPage(0);
    // Children get their places now: a hidden control sees no resize event until it is shown.
    LayOut();
}

void NotesTabControl::resizeEvent(QResizeEvent*) {
    LayOut();
}

void NotesTabControl::LayOut() {
    m_bar->setGeometry(0, 0, width(), kTabHeight);
    m_pane->setGeometry(0, kTabHeight - 1, width(), height() - kTabHeight + 1);
    for (QWidget* page : m_pages) {
        page->setGeometry(0, kTabHeight, width(), height() - kTabHeight);
    }
}

QWidget* NotesTabControl::Page(int tab) const {
    return tab >= 1 && tab <= 2 ? m_pages[static_cast<std::size_t>(tab - 1)] : nullptr;
}

int NotesTabControl::SelectedTab() const {
    return m_bar->currentIndex() + 1;
}

void NotesTabControl::SelectTab(int tab) {
    if (tab >= 1 && tab <= 2) {
        m_bar->setCurrentIndex(tab - 1);
    }
}

void NotesTabControl::SetTabEnabled(int tab, bool enabled) {
    if (tab >= 1 && tab <= 2) {
        m_bar->setTabEnabled(tab - 1, enabled);
    }
}

void NotesTabControl::SetTabIcon(int tab, const QIcon& icon) {
    if (tab >= 1 && tab <= 2) {
        m_bar->setTabIcon(tab - 1, icon);
    }
}

void NotesTabControl::ShowPage(int index) {
    for (std::size_t i = 0; i < m_pages.size(); ++i) {
        m_pages[i]->setVisible(static_cast<int>(i) == index);
    }
}

}  // namespace velmora::app
