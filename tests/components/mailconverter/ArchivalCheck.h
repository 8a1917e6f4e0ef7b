#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

namespace velmora::mailconverter::testing {

// What can be verified of a PDF/A-3u document without a validator: qpdf's structural
// check; every font embedded and mapped to Unicode (pdffonts), and every character code
// shown on a page present in its font's ToUnicode map; the XMP identification
// (part 3, conformance U) and every document information entry agreeing with its XMP twin; one
// sRGB output intent with an RGB ICC profile; every embedded-file entry with /F, /UF,
// /AFRelationship, a typed embedded stream, and listed in an /AF array; annotations
// printed and visible, with appearance streams where needed; no CMYK colour; no encryption,
// JavaScript, additional actions, XFA or LZW. Each problem found is one line; an empty
// list means all of that holds, not that the file is valid PDF/A.
QStringList ArchivalProblems(const QString& pdf);

// The associated files of the document: name (/UF) -> relationship ("Source", ...).
QMap<QString, QString> AssociatedFiles(const QString& pdf);

}  // namespace velmora::mailconverter::testing
