#pragma once

#include <QByteArray>

#include <vector>

namespace velmora::mailconverter {

// The body of a PDF file written front to back: numbered objects, then the cross-reference
// table and the trailer. Object numbers may be taken before their objects are written.
class PdfObjects {
  public:
    PdfObjects();

    int Reserve();
    // `body` is what stands between "N 0 obj" and "endobj".
    void Write(int id, const QByteArray& body);
    // A stream; `dictionary` holds the entries without /Length and without its brackets.
    // Deflated unless `compress` is false.
    void WriteStream(int id, const QByteArray& dictionary, const QByteArray& data,
                     bool compress = true);
    // A stream whose bytes are written as they are; `dictionary` names their filter if any.
    void WriteEncodedStream(int id, const QByteArray& dictionary, const QByteArray& bytes);
    // The whole file; objects reserved but never written are written as null. `info` is
    // the document information dictionary (none when 0), `fileId` the file identifier's bytes.
    QByteArray Finish(int catalog, int info = 0, const QByteArray& fileId = {});

    // Deflate as FlateDecode reads it, at level 1..9; run-length only (much faster on
    // base64 text, as good there) when asked. Empty when zlib fails.
    static QByteArray Deflate(const QByteArray& data, int level, bool runLength = false);

  private:
    QByteArray m_out;
    std::vector<qsizetype> m_offsets;  // by object number; -1 while only reserved
};

// PDF syntax for values.
namespace pdf {
// A number with at most three decimals and no exponent.
QByteArray Number(double value);
// The same into `out`, which holds at least 32 bytes; returns its length.
int FormatNumber(double value, char* out);
// A text string in UTF-16BE, as a hex string.
QByteArray TextString(const QString& text);
// A name object: "/" followed by the bytes, with # escapes where PDF needs them; NUL,
// which has none, is left out.
QByteArray Name(const QByteArray& name);
}  // namespace pdf

}  // namespace velmora::mailconverter
