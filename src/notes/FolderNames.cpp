#include "notes/FolderNames.h"

#include <string_view>

namespace velmora::notes {

namespace {

std::u16string_view CodeUnits(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}

// Indices stay in int: the sum of two 16-bit indices may not fit 16 bits.
void SortSpan(QStringList& names, int low, int high) {
    const QString pivot = names[MiddleIndex(low, high)];
    int i = low;
    int j = high;
    while (i <= j) {
        while (OrdinalLess(names[i], pivot) && i < high) {
            ++i;
        }
        while (OrdinalLess(pivot, names[j]) && j > low) {
            --j;
        }
        if (i <= j) {
            names.swapItemsAt(i, j);
            ++i;
            --j;
        }
    }
    if (low < j) {
        SortSpan(names, low, j);
    }
    if (i < high) {
        SortSpan(names, i, high);
    }
}

}  // namespace

bool OrdinalLess(const QString& left, const QString& right) {
    return CodeUnits(left) < CodeUnits(right);
}

int MiddleIndex(int low, int high) {
    const int sum = low + high;
    int half = sum >> 1;  // floor, also for negative sums
    if ((sum & 1) != 0 && (half & 1) != 0) {
        ++half;
    }
    return half;
}

void QuickSort(QStringList& names, std::int16_t low, std::int16_t high) {
    if (low < 0 || low >= high || high >= names.size()) {
        return;
    }
    SortSpan(names, low, high);
}

void RemoveDuplicates(QStringList& names) {
    const qsizetype n = names.size() - 1;
    qsizetype d = 1;
    qsizetype j = 0;
    while (j <= n) {
        if (j + d > n) {
            break;
        }
        if (names[j].isEmpty()) {
            ++j;
        } else if (names[j + d] == names[j]) {
            names[j + d].clear();
            ++d;
        } else {
            d = 1;
            ++j;
        }
    }
    qsizetype k = 0;
    for (qsizetype i = 0; i <= n; ++i) {
        if (!names[i].isEmpty()) {
            if (i != k) {
                names[k] = std::move(names[i]);
            }
            ++k;
        }
    }
    names.resize(k);
}

}  // namespace velmora::notes
