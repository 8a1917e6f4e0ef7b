#pragma once

#include "notes/FolderTree.h"

#include <QAbstractItemModel>
#include <QList>
#include <QPixmap>

namespace velmora::app {

// Shows the core's folder tree in a view: captions, check boxes, small icons by position,
// and bold captions for folders that held mail at scan time.
class FolderTreeModel : public QAbstractItemModel {
    Q_OBJECT
  public:
    FolderTreeModel(notes::FolderTree& tree, const QList<QPixmap>& icons,
                    QObject* parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The tree's node number behind index; 0 for none.
    static int NodeOf(const QModelIndex& index);
    QModelIndex IndexOfNode(int node) const;

  private:
    notes::FolderTree& m_tree;
    QList<QPixmap> m_icons;
};

}  // namespace velmora::app
