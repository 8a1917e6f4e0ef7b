#include "notes/FolderTree.h"

#include <gtest/gtest.h>

using namespace velmora::notes;

namespace {

FolderNode Node(const QString& key, const QString& parent = {}) {
    FolderNode node;
    node.key = key;
    node.caption = key + QStringLiteral(" (0)");
    node.parentKey = parent;
    node.viewName = key;
    return node;
}

}  // namespace

TEST(FolderTree, numbersNodesFromOneAndLinksParentsByKey) {
    FolderTree tree;
    ASSERT_TRUE(tree.Add(Node(QStringLiteral("root"))));
    ASSERT_TRUE(tree.Add(Node(QStringLiteral("Folders"), QStringLiteral("root"))));
    ASSERT_TRUE(tree.Add(Node(QStringLiteral("Projects"), QStringLiteral("Folders"))));
    ASSERT_TRUE(tree.Add(Node(QStringLiteral("2010"), QStringLiteral("Projects"))));
    ASSERT_TRUE(tree.Add(Node(QStringLiteral("Inbox"), QStringLiteral("root"))));
    EXPECT_EQ(tree.Count(), 5);
    EXPECT_EQ(tree.Node(1).key, QStringLiteral("root"));
    EXPECT_EQ(tree.IndexOfKey(QStringLiteral("2010")), 4);
    EXPECT_EQ(tree.ParentIndex(4), 3);
    EXPECT_EQ(tree.ParentIndex(1), 0);
    EXPECT_EQ(tree.Children(1), (std::vector<int>{2, 5}));
    EXPECT_EQ(tree.Children(0), (std::vector<int>{1}));
    EXPECT_TRUE(tree.Children(4).empty());
    EXPECT_EQ(tree.RowInParent(5), 1);
    EXPECT_EQ(tree.RowInParent(2), 0);
    EXPECT_EQ(tree.RowInParent(1), 0);
}

TEST(FolderTree, refusesTakenEmptyOrOrphanKeys) {
    FolderTree tree;
    ASSERT_TRUE(tree.Add(Node(QStringLiteral("root"))));
    ASSERT_TRUE(tree.Add(Node(QStringLiteral("Trash"), QStringLiteral("root"))));
    EXPECT_FALSE(tree.Add(Node(QStringLiteral("Trash"), QStringLiteral("root"))));
    EXPECT_FALSE(tree.Add(Node(QStringLiteral("trash2"), QStringLiteral("Archive"))));
    EXPECT_FALSE(tree.Add(Node(QString(), QStringLiteral("root"))));
    // Keys compare exactly: a case variant is a different key.
    EXPECT_TRUE(tree.Add(Node(QStringLiteral("TRASH"), QStringLiteral("root"))));
    EXPECT_EQ(tree.Count(), 3);
}

TEST(FolderTree, reportsChangesAndClearsCompletely) {
    FolderTree tree;
    QList<int> added;
    QList<QPair<int, int>> announced;
    QList<int> checked;
    int clears = 0;
    QObject::connect(&tree, &FolderTree::nodeAdded, [&](int index) { added << index; });
    QObject::connect(&tree, &FolderTree::checkChanged, [&](int index) { checked << index; });
    QObject::connect(&tree, &FolderTree::aboutToAddNode, [&](int parent, int row) {
        EXPECT_EQ(tree.Count(), added.size()) << "announced before the node exists";
        announced << qMakePair(parent, row);
    });
    QObject::connect(&tree, &FolderTree::aboutToClear, [&] { EXPECT_GT(tree.Count(), 0); });
    QObject::connect(&tree, &FolderTree::cleared, [&] {
        ++clears;
        added.clear();
    });

    tree.Add(Node(QStringLiteral("root")));
    tree.Add(Node(QStringLiteral("Inbox"), QStringLiteral("root")));
    tree.SetChecked(2, true);
    tree.SetChecked(2, true);  // no change, no signal
    EXPECT_TRUE(tree.Node(2).checked);
    EXPECT_EQ(added, (QList<int>{1, 2}));
    EXPECT_EQ(announced, (QList<QPair<int, int>>{{0, 0}, {1, 0}}));
    EXPECT_EQ(checked, (QList<int>{2}));

    tree.Clear();
    EXPECT_EQ(clears, 1);
    EXPECT_EQ(tree.Count(), 0);
    EXPECT_EQ(tree.IndexOfKey(QStringLiteral("Inbox")), 0);
    EXPECT_TRUE(tree.Children(0).empty());
    EXPECT_TRUE(tree.Add(Node(QStringLiteral("Inbox"))));
    EXPECT_EQ(tree.IndexOfKey(QStringLiteral("Inbox")), 1);
}
