#include "components/mime/AddressList.h"

namespace velmora::mime {

namespace {

// Longest bare address we accept; anything longer could not be kept within a header line.
constexpr int kMaxAddressLength = 254;

bool IsAtext(QChar c) {
    const char16_t u = c.unicode();
    if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9')) {
        return true;
    }
    // "/" belongs to atext too, but marks a hierarchical Notes name here.
    return u < 0x80 && QStringView(u"!#$%&'*+-=?^_`{|}~").contains(c);
}

bool IsDotAtom(QStringView text, bool (*isAllowed)(QChar)) {
    if (text.isEmpty() || text.startsWith(u'.') || text.endsWith(u'.') || text.contains(u"..")) {
        return false;
    }
    for (const QChar c : text) {
        if (c != u'.' && !isAllowed(c)) {
            return false;
        }
    }
    return true;
}

bool IsDomainChar(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '-';
}

bool IsPrintableAscii(QStringView text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x21 || c.unicode() > 0x7e) {
            return false;
        }
    }
    return true;
}

bool IsQuotedLocalPart(QStringView text) {
    if (text.size() < 2 || !text.startsWith(u'"') || !text.endsWith(u'"')) {
        return false;
    }
    const QStringView inner = text.mid(1, text.size() - 2);
    for (qsizetype i = 0; i < inner.size(); ++i) {
        const char16_t u = inner[i].unicode();
        if (u < 0x20 || u > 0x7e) {
            return false;
        }
        if (u == '\\') {
            if (++i == inner.size()) {
                return false;
            }
        } else if (u == '"') {
            return false;
        }
    }
    return true;
}

bool IsAddrSpec(QStringView text) {
    if (text.isEmpty() || text.size() > kMaxAddressLength) {
        return false;
    }
    const qsizetype at = text.lastIndexOf(u'@');
    if (at <= 0) {
        return false;
    }
    const QStringView local = text.left(at);
    const QStringView domain = text.mid(at + 1);
    const bool localOk = IsDotAtom(local, IsAtext) || IsQuotedLocalPart(local);
    const bool domainOk =
        IsDotAtom(domain, IsDomainChar) ||
        (domain.size() > 2 && domain.startsWith(u'[') && domain.endsWith(u']') &&
         IsPrintableAscii(domain) && !domain.mid(1, domain.size() - 2).contains(u'[') &&
         !domain.mid(1, domain.size() - 2).contains(u']') && !domain.contains(u'\\'));
    return localOk && domainOk;
}

// The display name as the entry wrote it: a quoted string loses its quotes and escapes.
QString UnquoteName(QStringView text) {
    const QStringView trimmed = text.trimmed();
    if (trimmed.size() < 2 || !trimmed.startsWith(u'"') || !trimmed.endsWith(u'"')) {
        return trimmed.toString();
    }
    QString name;
    const QStringView inner = trimmed.mid(1, trimmed.size() - 2);
    for (qsizetype i = 0; i < inner.size(); ++i) {
        if (inner[i] == u'\\' && i + 1 < inner.size()) {
            ++i;
        } else if (inner[i] == u'"') {
            return trimmed.toString();  // not one quoted string after all
        }
        name += inner[i];
    }
    return name;
}

}  // namespace

QStringList SplitAddressEntries(const QString& text) {
    QStringList entries;
    QString current;
    bool quoted = false;
    bool escaped = false;
    int angle = 0;
    for (const QChar c : text) {
        if (escaped) {
            escaped = false;
        } else if (quoted && c == u'\\') {
            escaped = true;
        } else if (c == u'"') {
            quoted = !quoted;
        } else if (!quoted && c == u'<') {
            ++angle;
        } else if (!quoted && c == u'>' && angle > 0) {
            --angle;
        } else if (!quoted && angle == 0 && c == u';') {
            entries.append(current.trimmed());
            current.clear();
            continue;
        }
        current += c;
    }
    // An unbalanced quote or bracket must not swallow the separators after it.
    if (quoted || angle > 0) {
        QStringList plain = text.split(u';');
        for (QString& entry : plain) {
            entry = entry.trimmed();
        }
        return plain;
    }
    entries.append(current.trimmed());
    return entries;
}

Mailbox ParseAddressEntry(const QString& entry) {
    const QString text = entry.trimmed();
    if (IsAddrSpec(text)) {
        return {QString(), text};
    }
    if (text.endsWith(u'>')) {
        const qsizetype open = text.lastIndexOf(u'<');
        if (open >= 0) {
            const QStringView address =
                QStringView(text).mid(open + 1, text.size() - open - 2).trimmed();
            if (IsAddrSpec(address)) {
                return {UnquoteName(QStringView(text).left(open)), address.toString()};
            }
        }
    }
    return {text, kNotesNameAddress};
}

std::vector<Mailbox> ParseAddressText(const QString& addresses, const QString& names) {
    const QStringList entries = SplitAddressEntries(addresses);
    const QStringList nameEntries = names == addresses ? QStringList() : SplitAddressEntries(names);
    std::vector<Mailbox> mailboxes;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QString& entry = entries[i];
        if (entry.isEmpty() || entry == u".") {
            continue;
        }
        Mailbox mailbox = ParseAddressEntry(entry);
        if (!mailbox.IsNotesName() && mailbox.name.isEmpty() && i < nameEntries.size() &&
            nameEntries[i] != entry && nameEntries[i] != u".") {
            mailbox.name = nameEntries[i];
        }
        mailboxes.push_back(std::move(mailbox));
    }
    return mailboxes;
}

}  // namespace velmora::mime
