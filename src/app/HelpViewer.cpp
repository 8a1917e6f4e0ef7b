#include "app/HelpViewer.h"

#include "components/htmlhelp/ChmArchive.h"
#include "util/ProductNames.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QHeaderView>
#include <QSplitter>
#include <QStyle>
#include <QTextBrowser>
#include <QToolBar>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace velmora::app {

using htmlhelp::ChmArchive;
using htmlhelp::ChmError;
using htmlhelp::ContentsEntry;

namespace {

constexpr int kLocalRole = Qt::UserRole;

QString Escaped(const QString& text) {
    return text.toHtmlEscaped();
}

// "/page.html#part" as a URL of the viewer's own scheme.
QUrl TopicUrl(const QString& local) {
    const qsizetype hash = local.indexOf(u'#');
    QUrl url;
    url.setScheme(QString::fromLatin1(HelpViewer::kScheme));
    url.setPath(hash < 0 ? local : local.left(hash));
    if (hash >= 0 && hash + 1 < local.size()) {
        url.setFragment(local.mid(hash + 1));
    }
    return url;
}

}  // namespace

// Shows topics of one archive: every page, stylesheet and picture is read from it, and
// nothing outside it is ever fetched.
class HelpTopicBrowser : public QTextBrowser {
  public:
    explicit HelpTopicBrowser(QWidget* parent) : QTextBrowser(parent) {}

    void SetArchive(std::shared_ptr<const ChmArchive> archive) { m_archive = std::move(archive); }

  protected:
    // Relative links are kept resolved, so that the source always names a page of the archive.
    void doSetSource(const QUrl& name, QTextDocument::ResourceType type) override {
        QUrl url = name.isRelative() ? source().resolved(name) : name;
        const QString scheme = url.scheme().toLower();
        if (scheme == QLatin1String("ms-its") || scheme == QLatin1String("mk")) {
            const QString fragment = url.fragment();
            url = TopicUrl(ChmArchive::ResolvePath(url.toString()).value_or(QString()));
            url.setFragment(fragment.isEmpty() ? QString() : fragment);
        }
        QTextBrowser::doSetSource(url, type);
    }

  public:
    QVariant loadResource(int type, const QUrl& name) override {
        const QUrl url = name.isRelative() ? source().resolved(name) : name;
        const std::optional<QString> path =
            url.scheme() == QLatin1String(HelpViewer::kScheme)
                ? ChmArchive::ResolvePath(url.path(QUrl::FullyDecoded))
                : std::nullopt;
        if (m_archive && path) {
            try {
                return m_archive->ReadFile(*path);
            } catch (const ChmError&) {
                // A missing topic gets a page saying so; a missing picture stays blank.
            }
        }
        if (type == QTextDocument::HtmlResource) {
            return QStringLiteral("<p>The topic \"%1\" is not in this help file.</p>")
                .arg(Escaped(path.value_or(url.toString())));
        }
        return {};
    }

  private:
    std::shared_ptr<const ChmArchive> m_archive;
};

// A window its owner owns, as the window manager sees it too: it stays above its owner (a
// modal window included) instead of opening behind the program's other windows.
HelpViewer::HelpViewer(QWidget* owner)
    : QWidget(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("HelpViewer"));
    setWindowTitle(QLatin1String(kAppTitle) + QStringLiteral(" Help"));
    setWindowModality(Qt::NonModal);
    resize(1000, 680);  // room for the guide's pictures at their natural size

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* toolBar = new QToolBar(this);
    toolBar->setObjectName(QStringLiteral("HelpToolBar"));
    toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toolBar->setIconSize(QSize(16, 16));
    layout->addWidget(toolBar);

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("HelpSplitter"));
    splitter->setChildrenCollapsible(false);
    layout->addWidget(splitter, 1);

    m_contents = new QTreeWidget(splitter);
    m_contents->setObjectName(QStringLiteral("HelpContents"));
    m_contents->setHeaderHidden(true);
    m_contents->setColumnCount(1);
    m_contents->setRootIsDecorated(true);
    m_contents->setUniformRowHeights(true);
    m_contents->setMinimumWidth(160);

    m_topic = new HelpTopicBrowser(splitter);
    m_topic->setObjectName(QStringLiteral("HelpTopic"));
    m_topic->setOpenLinks(false);
    m_topic->setOpenExternalLinks(false);
    m_topic->setFrameShape(QFrame::NoFrame);

    splitter->addWidget(m_contents);
    splitter->addWidget(m_topic);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({240, 760});

    QStyle* look = style();
    QAction* back = toolBar->addAction(look->standardIcon(QStyle::SP_ArrowBack),
                                       QStringLiteral("Back"), m_topic, &QTextBrowser::backward);
    back->setObjectName(QStringLiteral("HelpBack"));
    back->setEnabled(false);
    QAction* forward =
        toolBar->addAction(look->standardIcon(QStyle::SP_ArrowForward), QStringLiteral("Forward"),
                           m_topic, &QTextBrowser::forward);
    forward->setObjectName(QStringLiteral("HelpForward"));
    forward->setEnabled(false);
    QAction* home = toolBar->addAction(look->standardIcon(QStyle::SP_DirHomeIcon),
                                       QStringLiteral("Home"), this, [this] {
                                           if (IsOpen()) {
                                               ShowDefaultTopic();
                                           }
                                       });
    home->setObjectName(QStringLiteral("HelpHome"));
    connect(m_topic, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(m_topic, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);

    connect(m_topic, &QTextBrowser::anchorClicked, this, [this](const QUrl& link) {
        const QUrl url = link.isRelative() ? m_topic->source().resolved(link) : link;
        const QString scheme = url.scheme().toLower();
        if (scheme == QLatin1String(kScheme) || scheme == QLatin1String("ms-its") ||
            scheme == QLatin1String("mk")) {
            m_topic->setSource(url);
        } else if (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
                   scheme == QLatin1String("mailto")) {
            // The web and the mail program are the user's own; the viewer shows only its file.
            QDesktopServices::openUrl(url);
        }
    });
    connect(m_topic, &QTextBrowser::sourceChanged, this, &HelpViewer::SelectContentsEntry);
    connect(m_contents, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (!item || m_contents->signalsBlocked()) {
            return;
        }
        const QString local = item->data(0, kLocalRole).toString();
        if (!local.isEmpty()) {
            ShowTopic(local);
        }
    });
    connect(m_contents, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        // A heading without a page of its own opens and closes.
        if (item->data(0, kLocalRole).toString().isEmpty() && item->childCount() > 0) {
            item->setExpanded(!item->isExpanded());
        }
    });
}

HelpViewer::~HelpViewer() = default;

HelpViewer* HelpViewer::ForOwner(QWidget* owner) {
    if (!owner) {
        return nullptr;
    }
    return owner->findChild<HelpViewer*>(QStringLiteral("HelpViewer"), Qt::FindDirectChildrenOnly);
}

bool HelpViewer::OpenFile(const QString& helpFile) {
    m_helpFile = helpFile;
    try {
        m_archive = std::make_shared<const ChmArchive>(helpFile);
    } catch (const ChmError& error) {
        m_archive.reset();
        m_topic->SetArchive(nullptr);
        FillContents();
        ShowProblem(QStringLiteral("The help file \"%1\" cannot be opened: %2.")
                        .arg(QDir::toNativeSeparators(helpFile), QString::fromUtf8(error.what())));
        return false;
    }
    m_topic->SetArchive(m_archive);
    m_topic->clearHistory();
    FillContents();
    ShowDefaultTopic();
    return true;
}

void HelpViewer::ShowDefaultTopic() {
    if (m_archive) {
        ShowTopic(m_archive->DefaultTopic());
    }
}

void HelpViewer::ShowTopic(const QString& local) {
    const QUrl url = TopicUrl(local);
    if (m_topic->source() == url) {
        m_topic->reload();
        SelectContentsEntry(url);
    } else {
        m_topic->setSource(url);
    }
}

QString HelpViewer::CurrentTopic() const {
    const QUrl source = m_topic->source();
    return m_archive && source.scheme() == QLatin1String(kScheme) ? source.path() : QString();
}

void HelpViewer::FillContents() {
    const QSignalBlocker quiet(m_contents);
    m_contents->clear();
    if (!m_archive) {
        return;
    }
    const QIcon book = style()->standardIcon(QStyle::SP_DirIcon);
    const QIcon page = style()->standardIcon(QStyle::SP_FileIcon);
    const auto add = [&](auto& self, const std::vector<ContentsEntry>& entries,
                         QTreeWidgetItem* parent) -> void {
        for (const ContentsEntry& entry : entries) {
            auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_contents);
            item->setText(0, entry.title);
            item->setToolTip(0, entry.title);
            item->setData(0, kLocalRole, entry.local);
            item->setIcon(0, entry.children.empty() ? page : book);
            self(self, entry.children, item);
        }
    };
    add(add, m_archive->Contents(), nullptr);
    m_contents->expandToDepth(0);
}

void HelpViewer::SelectContentsEntry(const QUrl& source) {
    const QString path = source.path();
    const QString exact = source.hasFragment() ? path + u'#' + source.fragment() : path;
    QTreeWidgetItem* match = nullptr;
    for (QTreeWidgetItemIterator it(m_contents); *it; ++it) {
        const QString local = (*it)->data(0, kLocalRole).toString();
        if (local == exact) {
            match = *it;
            break;
        }
        if (!match && !local.isEmpty() && local.section(u'#', 0, 0) == path) {
            match = *it;
        }
    }
    const QSignalBlocker quiet(m_contents);
    if (!match) {
        m_contents->clearSelection();
        m_contents->setCurrentItem(nullptr);
        return;
    }
    for (QTreeWidgetItem* up = match->parent(); up; up = up->parent()) {
        up->setExpanded(true);
    }
    m_contents->setCurrentItem(match);
    m_contents->scrollToItem(match);
}

void HelpViewer::ShowProblem(const QString& text) {
    m_topic->clearHistory();
    m_topic->setHtml(QStringLiteral("<p style=\"margin: 12px;\">%1</p>").arg(Escaped(text)));
}

}  // namespace velmora::app
