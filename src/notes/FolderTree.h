#pragma once

#include <QHash>
#include <QObject>
#include <QString>

#include <vector>

namespace velmora::notes {

// One node of the folder tree. Icons are positions in the small-icon list; -1 is none.
struct FolderNode {
    QString key;
    QString caption;
    QString parentKey;  // empty for a top-level node
    int icon = -1;
    bool hasItems = false;
    QString viewName;
    bool checked = false;
    // -1 when the view name alone finds the folder; else its number among the folders of
    // that name (FolderNamesakes).
    int namesake = -1;
};

// The folder tree as data: nodes numbered from 1 in the order they were added, unique keys,
// parents named by key. The window follows it through the signals.
class FolderTree : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;

    void Clear();

    // False, and nothing added, when the key is empty or taken or the parent does not exist.
    bool Add(FolderNode node);

    int Count() const { return static_cast<int>(m_nodes.size()); }
    // index from 1 to Count().
    const FolderNode& Node(int index) const {
        return m_nodes.at(static_cast<std::size_t>(index - 1));
    }
    bool IsValidIndex(int index) const { return index >= 1 && index <= Count(); }

    // 0 when no node has that key.
    int IndexOfKey(const QString& key) const;
    // 0 for a top-level node.
    int ParentIndex(int index) const { return m_parents.at(static_cast<std::size_t>(index - 1)); }
    // Node numbers of index's children in the order they were added (0 gives the top level).
    const std::vector<int>& Children(int index) const;
    // The position of index among its parent's children, from 0.
    int RowInParent(int index) const { return m_rows.at(static_cast<std::size_t>(index - 1)); }

    void SetChecked(int index, bool checked);

  signals:
    void aboutToClear();
    void cleared();
    // parent is 0 for a top-level node; row is the new node's position among its siblings.
    void aboutToAddNode(int parent, int row);
    void nodeAdded(int index);
    void checkChanged(int index);

  private:
    std::vector<FolderNode> m_nodes;
    std::vector<int> m_parents;
    std::vector<int> m_rows;
    std::vector<std::vector<int>> m_children;  // [0] holds the top level
    QHash<QString, int> m_indexByKey;
};

}  // namespace velmora::notes
