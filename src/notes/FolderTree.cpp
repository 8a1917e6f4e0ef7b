#include "notes/FolderTree.h"

namespace velmora::notes {

void FolderTree::Clear() {
    emit aboutToClear();
    m_nodes.clear();
    m_rows.clear();
    m_parents.clear();
    m_children.clear();
    m_indexByKey.clear();
    emit cleared();
}

int FolderTree::IndexOfKey(const QString& key) const {
    return m_indexByKey.value(key, 0);
}

const std::vector<int>& FolderTree::Children(int index) const {
    static const std::vector<int> kNone;
    if (index < 0 || static_cast<std::size_t>(index) >= m_children.size()) {
        return kNone;
    }
    return m_children[static_cast<std::size_t>(index)];
}

bool FolderTree::Add(FolderNode node) {
    if (node.key.isEmpty() || IndexOfKey(node.key) != 0) {
        return false;
    }
    int parent = 0;
    if (!node.parentKey.isEmpty()) {
        parent = IndexOfKey(node.parentKey);
        if (parent == 0) {
            return false;
        }
    }
    if (m_children.empty()) {
        m_children.emplace_back();
    }
    std::vector<int>& siblings = m_children[static_cast<std::size_t>(parent)];
    emit aboutToAddNode(parent, static_cast<int>(siblings.size()));
    m_rows.push_back(static_cast<int>(siblings.size()));
    m_nodes.push_back(std::move(node));
    m_parents.push_back(parent);
    const int index = Count();
    siblings.push_back(index);
    m_children.emplace_back();
    m_indexByKey.insert(m_nodes.back().key, index);
    emit nodeAdded(index);
    return true;
}

void FolderTree::SetChecked(int index, bool checked) {
    FolderNode& node = m_nodes.at(static_cast<std::size_t>(index - 1));
    if (node.checked == checked) {
        return;
    }
    node.checked = checked;
    emit checkChanged(index);
}

}  // namespace velmora::notes
