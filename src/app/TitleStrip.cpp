#include "app/TitleStrip.h"

#include "app/Artwork.h"
#include "app/Theme.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>

namespace velmora::app {

namespace {

QToolButton* MakeButton(QWidget* parent, const QString& name, const QIcon& icon,
                        const QString& tip) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setIcon(icon);
    button->setIconSize(QSize(16, 16));
    button->setFixedSize(28, 22);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setToolTip(tip);
    return button;
}

}  // namespace

TitleStrip::TitleStrip(QWidget* window) : QWidget(window), m_window(window) {
    setObjectName(QStringLiteral("TitleStrip"));
    setFixedHeight(kHeight);
    setAttribute(Qt::WA_StyledBackground, false);
    setStyleSheet(QStringLiteral(R"css(
QToolButton { background: transparent; border: 1px solid transparent; border-radius: 3px; }
QToolButton:hover { background: rgba(255, 255, 255, 46); border-color: rgba(255, 255, 255, 80); }
QToolButton:pressed { background: rgba(0, 0, 0, 60); }
QToolButton#TitleClose:hover { background: #d9443a; border-color: #a8322a; }
QToolButton#TitleClose:pressed { background: #a8322a; }
QLabel { background: transparent; color: white; }
)css"));

    m_icon = new QLabel(this);
    m_icon->setObjectName(QStringLiteral("TitleIcon"));
    m_icon->setFixedSize(16, 16);
    m_caption = new QLabel(this);
    m_caption->setObjectName(QStringLiteral("TitleCaption"));
    m_caption->setFont(Theme::TitleFont());
    m_minimize = MakeButton(this, QStringLiteral("TitleMinimize"), Artwork::TitleMinimizeIcon(),
                            tr("Minimize"));
    m_close =
        MakeButton(this, QStringLiteral("TitleClose"), Artwork::TitleCloseIcon(), tr("Close"));

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 0, 4, 0);
    row->setSpacing(4);
    row->addWidget(m_icon, 0, Qt::AlignVCenter);
    row->addWidget(m_caption, 1, Qt::AlignVCenter);
    row->addWidget(m_minimize, 0, Qt::AlignVCenter);
    row->addWidget(m_close, 0, Qt::AlignVCenter);

    connect(m_minimize, &QToolButton::clicked, this, [this] {
        if (m_window) {
            m_window->showMinimized();
        }
    });
    connect(m_close, &QToolButton::clicked, this, [this] {
        if (m_window) {
            m_window->close();
        }
    });

    if (m_window) {
        setGeometry(0, 0, m_window->width(), kHeight);
        m_caption->setText(m_window->windowTitle());
        m_window->installEventFilter(this);
    }
    ShowWindowIcon();
}

void TitleStrip::SetCaption(const QString& caption) {
    m_ownCaption = true;
    m_caption->setText(caption);
}

QString TitleStrip::Caption() const {
    return m_caption->text();
}

void TitleStrip::ShowWindowIcon() {
    QIcon icon = m_window ? m_window->windowIcon() : QIcon();
    if (icon.isNull()) {
        icon = Artwork::WindowIcon();
    }
    m_icon->setPixmap(icon.pixmap(QSize(16, 16)));
}

void TitleStrip::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QLinearGradient band(0, 0, width(), 0);
    band.setColorAt(0, Theme::kDeep);
    band.setColorAt(0.75, Theme::kTeal);
    band.setColorAt(1, Theme::kTeal.lighter(115));
    p.fillRect(rect(), band);
    // An inactive window's strip fades a little toward grey, as title bars do.
    if (m_window && !m_window->isActiveWindow()) {
        p.fillRect(rect(), QColor(0x8a, 0x9b, 0xab, 90));
    }
    // A glassy upper half and a thin light edge on top.
    QLinearGradient gloss(0, 0, 0, height());
    gloss.setColorAt(0, QColor(255, 255, 255, 40));
    gloss.setColorAt(0.5, QColor(255, 255, 255, 12));
    gloss.setColorAt(0.51, QColor(255, 255, 255, 0));
    p.fillRect(rect(), gloss);
    p.fillRect(QRect(0, 0, width(), 1), QColor(255, 255, 255, 60));
    p.fillRect(QRect(0, height() - 1, width(), 1), QColor(0, 0, 0, 70));
}

void TitleStrip::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_window) {
        m_dragging = true;
        m_grabOffset = event->globalPosition().toPoint() - m_window->pos();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void TitleStrip::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragging && (event->buttons() & Qt::LeftButton) && m_window) {
        m_window->move(event->globalPosition().toPoint() - m_grabOffset);
        event->accept();
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void TitleStrip::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_dragging = false;
    }
    QWidget::mouseReleaseEvent(event);
}

bool TitleStrip::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window) {
        if (event->type() == QEvent::WindowTitleChange && !m_ownCaption) {
            m_caption->setText(m_window->windowTitle());
        } else if (event->type() == QEvent::WindowIconChange) {
            ShowWindowIcon();
        } else if (event->type() == QEvent::Resize && parentWidget() == m_window) {
            resize(m_window->width(), kHeight);
        } else if (event->type() == QEvent::ActivationChange) {
            update();
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace velmora::app
