#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace velmora::mime {

// Notes names have no Internet form, yet a header must hold an address. They are carried as
// the display name of this reserved, never deliverable address (".invalid" is reserved by
// RFC 2606), so that readers show the name exactly as written:
//   "Jane Roe/Sales/Acme" <notes-name@notes.invalid>
inline const QString kNotesNameAddress = QStringLiteral("notes-name@notes.invalid");

struct Mailbox {
    QString name;     // display name; empty when there is none
    QString address;  // a bare RFC 5322 address in ASCII, or kNotesNameAddress

    bool IsNotesName() const { return address == kNotesNameAddress; }
    bool operator==(const Mailbox&) const = default;
};

// The entries of an address text: split at ";" outside quotes and angle brackets, each
// trimmed. Empty entries are kept so that positions line up with a names text.
QStringList SplitAddressEntries(const QString& text);

// An Internet address ("Name <local@domain>", "local@domain") when the entry is one;
// otherwise the entry as written, carried as a Notes name. An entry whose local part holds
// "/" is a Notes name with a Notes domain ("Jane Roe/Acme@AcmeMail"), not an Internet address.
Mailbox ParseAddressEntry(const QString& entry);

// The mailboxes of an address text. Empty entries and "." (the placeholder Notes leaves where
// an entry has no Internet form) add nothing. When `names` differs from `addresses`, its entry
// at the same position gives the display name of an Internet address that carries none.
std::vector<Mailbox> ParseAddressText(const QString& addresses, const QString& names);

}  // namespace velmora::mime
