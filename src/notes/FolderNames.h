#pragma once

#include "util/FileNames.h"

#include <QString>
#include <QStringList>

#include <cstdint>

namespace velmora::notes {

// Ordinal order: code unit by code unit, case-sensitive, so "Z" < "a" and a string sorts
// before every longer string that begins with it.
bool OrdinalLess(const QString& left, const QString& right);

// Sorts names[low..high] in place (ordinal), leaving the other elements untouched.
// The pivot is the element at (low + high) / 2 rounded half to even. An empty or
// out-of-range span is left alone.
void QuickSort(QStringList& names, std::int16_t low, std::int16_t high);

// Reduces every run of adjacent equal names to its first member and drops every empty
// name, keeping the order; on a sorted list this leaves the distinct names.
void RemoveDuplicates(QStringList& names);

// Trims blanks (U+0020) only, as names and item values are trimmed throughout.
using filenames::TrimBlanks;

// The middle index of a span, rounded half to even: 0..1 gives 0, 0..3 gives 2.
int MiddleIndex(int low, int high);

}  // namespace velmora::notes
