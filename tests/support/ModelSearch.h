#pragma once

#include <QAbstractItemModel>

namespace velmora::testing {

// The first index below parent, depth first in row order, for which matches is true;
// invalid when there is none.
template <class Predicate>
QModelIndex FindIndex(const QAbstractItemModel& model, Predicate matches,
                      const QModelIndex& parent = {}) {
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex index = model.index(row, 0, parent);
        if (matches(index)) {
            return index;
        }
        const QModelIndex inner = FindIndex(model, matches, index);
        if (inner.isValid()) {
            return inner;
        }
    }
    return {};
}

}  // namespace velmora::testing
