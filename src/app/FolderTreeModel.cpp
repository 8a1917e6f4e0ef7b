#include "app/FolderTreeModel.h"

#include <QFont>

namespace velmora::app {

FolderTreeModel::FolderTreeModel(notes::FolderTree& tree, const QList<QPixmap>& icons,
                                 QObject* parent)
    : QAbstractItemModel(parent), m_tree(tree), m_icons(icons) {
    connect(&m_tree, &notes::FolderTree::aboutToClear, this, [this] { beginResetModel(); });
    connect(&m_tree, &notes::FolderTree::cleared, this, [this] { endResetModel(); });
    connect(&m_tree, &notes::FolderTree::aboutToAddNode, this,
            [this](int parent, int row) { beginInsertRows(IndexOfNode(parent), row, row); });
    connect(&m_tree, &notes::FolderTree::nodeAdded, this, [this](int) { endInsertRows(); });
    connect(&m_tree, &notes::FolderTree::checkChanged, this, [this](int node) {
        const QModelIndex changed = IndexOfNode(node);
        emit dataChanged(changed, changed, {Qt::CheckStateRole});
    });
}

int FolderTreeModel::NodeOf(const QModelIndex& index) {
    return index.isValid() ? static_cast<int>(index.internalId()) : 0;
}

QModelIndex FolderTreeModel::IndexOfNode(int node) const {
    if (!m_tree.IsValidIndex(node)) {
        return {};
    }
    return createIndex(m_tree.RowInParent(node), 0, static_cast<quintptr>(node));
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0 || (parent.isValid() && parent.model() != this)) {
        return {};
    }
    const std::vector<int>& children = m_tree.Children(NodeOf(parent));
    if (static_cast<std::size_t>(row) >= children.size()) {
        return {};
    }
    return createIndex(row, 0, static_cast<quintptr>(children[static_cast<std::size_t>(row)]));
}

QModelIndex FolderTreeModel::parent(const QModelIndex& child) const {
    const int node = NodeOf(child);
    if (!m_tree.IsValidIndex(node)) {
        return {};
    }
    return IndexOfNode(m_tree.ParentIndex(node));
}

int FolderTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() && parent.column() != 0) {
        return 0;
    }
    return static_cast<int>(m_tree.Children(NodeOf(parent)).size());
}

int FolderTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant FolderTreeModel::data(const QModelIndex& index, int role) const {
    const int node = NodeOf(index);
    if (!m_tree.IsValidIndex(node)) {
        return {};
    }
    const notes::FolderNode& folder = m_tree.Node(node);
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return folder.caption;
        case Qt::CheckStateRole:
            return folder.checked ? Qt::Checked : Qt::Unchecked;
        case Qt::DecorationRole:
            if (folder.icon >= 0 && folder.icon < m_icons.size()) {
                return m_icons[folder.icon];
            }
            return {};
        case Qt::FontRole:
            if (folder.hasItems) {
                QFont bold;
                bold.setBold(true);
                return bold;
            }
            return {};
        default:
            return {};
    }
}

bool FolderTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    const int node = NodeOf(index);
    if (role != Qt::CheckStateRole || !m_tree.IsValidIndex(node)) {
        return false;
    }
    m_tree.SetChecked(node, static_cast<Qt::CheckState>(value.toInt()) == Qt::Checked);
    return true;
}

Qt::ItemFlags FolderTreeModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
}

QVariant FolderTreeModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole) {
        return QStringLiteral("Notes Database");
    }
    return {};
}

}  // namespace velmora::app
