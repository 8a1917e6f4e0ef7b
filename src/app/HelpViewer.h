#pragma once

#include <QString>
#include <QWidget>

#include <memory>

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;
class QUrl;

namespace velmora::htmlhelp {
class ChmArchive;
}

namespace velmora::app {

class HelpTopicBrowser;

// The window of the help viewer: the contents of a compiled help file beside its topics.
// It belongs to its owner window (closing with it) without blocking it.
class HelpViewer : public QWidget {
    Q_OBJECT
  public:
    // Topics are shown under this scheme, so that relative links resolve inside the archive.
    static constexpr const char* kScheme = "chm";

    explicit HelpViewer(QWidget* owner);
    ~HelpViewer() override;

    // The viewer already open for owner, or nullptr.
    static HelpViewer* ForOwner(QWidget* owner);

    // Opens helpFile at its default topic. A file that cannot be opened leaves the contents
    // empty and shows a line saying so in place of a topic; answers whether it opened.
    bool OpenFile(const QString& helpFile);
    void ShowDefaultTopic();
    // Shows the topic at an archive path ("/export.html#naming").
    void ShowTopic(const QString& local);

    const QString& HelpFile() const { return m_helpFile; }
    bool IsOpen() const { return m_archive != nullptr; }
    // The archive path of the topic shown, without fragment; "" when none is.
    QString CurrentTopic() const;

  private:
    void FillContents();
    void SelectContentsEntry(const QUrl& source);
    void ShowProblem(const QString& text);

    QString m_helpFile;
    std::shared_ptr<const htmlhelp::ChmArchive> m_archive;
    QTreeWidget* m_contents = nullptr;
    HelpTopicBrowser* m_topic = nullptr;
};

}  // namespace velmora::app
