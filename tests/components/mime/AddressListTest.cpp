#include "components/mime/AddressList.h"

#include <gtest/gtest.h>

using velmora::mime::kNotesNameAddress;
using velmora::mime::Mailbox;
using velmora::mime::ParseAddressEntry;
using velmora::mime::ParseAddressText;
using velmora::mime::SplitAddressEntries;

TEST(AddressList, split_keepsEmptyPositionsAndTrims) {
    EXPECT_EQ(SplitAddressEntries(QStringLiteral(" a@x.example ;;b@y.example; ")),
              QStringList({"a@x.example", "", "b@y.example", ""}));
    EXPECT_EQ(SplitAddressEntries(QString()), QStringList({""}));
}

TEST(AddressList, split_ignoresSeparatorsInsideQuotesAndBrackets) {
    EXPECT_EQ(SplitAddressEntries(QStringLiteral("\"Roe; Jane\" <jane@x.example>;bob@y.example")),
              QStringList({"\"Roe; Jane\" <jane@x.example>", "bob@y.example"}));
    EXPECT_EQ(SplitAddressEntries(QStringLiteral("\"A \\\"q;\\\" B\" <a@x.example>;c@x.example")),
              QStringList({"\"A \\\"q;\\\" B\" <a@x.example>", "c@x.example"}));
}

TEST(AddressList, split_unbalancedQuote_stillSplitsEveryEntry) {
    EXPECT_EQ(SplitAddressEntries(QStringLiteral("\"Jane Roe/Acme;bob@y.example")),
              QStringList({"\"Jane Roe/Acme", "bob@y.example"}));
}

TEST(AddressList, parseEntry_internetAddresses) {
    EXPECT_EQ(ParseAddressEntry(QStringLiteral("jane@x.example")),
              (Mailbox{QString(), QStringLiteral("jane@x.example")}));
    EXPECT_EQ(ParseAddressEntry(QStringLiteral("Jane Roe <jane@x.example>")),
              (Mailbox{QStringLiteral("Jane Roe"), QStringLiteral("jane@x.example")}));
    EXPECT_EQ(ParseAddressEntry(QStringLiteral("\"Roe, \\\"JR\\\" Jane\" <jane@x.example>")),
              (Mailbox{QStringLiteral("Roe, \"JR\" Jane"), QStringLiteral("jane@x.example")}));
    EXPECT_EQ(ParseAddressEntry(QStringLiteral("Jane Roe < jane@x.example >")),
              (Mailbox{QStringLiteral("Jane Roe"), QStringLiteral("jane@x.example")}));
    EXPECT_EQ(ParseAddressEntry(QStringLiteral("<jane@x.example>")),
              (Mailbox{QString(), QStringLiteral("jane@x.example")}));
    EXPECT_EQ(ParseAddressEntry(QStringLiteral("Zoë <zoe+news@mail.x-y.example>")),
              (Mailbox{QStringLiteral("Zoë"), QStringLiteral("zoe+news@mail.x-y.example")}));
    EXPECT_EQ(ParseAddressEntry(QStringLiteral("\"odd local\"@x.example")),
              (Mailbox{QString(), QStringLiteral("\"odd local\"@x.example")}));
}

TEST(AddressList, parseEntry_anythingElseIsKeptAsWrittenAsANotesName) {
    for (const QString& entry :
         {QStringLiteral("Jane Roe/Sales/Acme"), QStringLiteral("CN=Jane Roe/OU=Sales/O=Acme"),
          QStringLiteral("Jane Roe/Sales/Acme@AcmeMail"), QStringLiteral("Jane/Acme@AcmeMail"),
          QStringLiteral("Jane Roe"), QStringLiteral("jöhn@exämple.example"),
          QStringLiteral("jane@"), QStringLiteral("a..b@x.example"),
          QStringLiteral("Jane <Jane Roe/Acme@AcmeMail>"), QStringLiteral("jane@x.example (Jane)"),
          QString(300, u'a') + QStringLiteral("@x.example")}) {
        EXPECT_EQ(ParseAddressEntry(entry), (Mailbox{entry, kNotesNameAddress}))
            << entry.toStdString();
    }
}

TEST(AddressList, parseText_dropsEmptyEntriesAndPlaceholders) {
    EXPECT_TRUE(ParseAddressText(QString(), QString()).empty());
    EXPECT_TRUE(ParseAddressText(QStringLiteral(";;"), QStringLiteral(";;")).empty());
    EXPECT_TRUE(ParseAddressText(QStringLiteral(" ; . ;\t"), QStringLiteral(" ; . ;\t")).empty());
    const auto list = ParseAddressText(QStringLiteral(";Jane Roe/Acme;;b@y.example;."),
                                       QStringLiteral(";Jane Roe/Acme;;b@y.example;."));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0], (Mailbox{QStringLiteral("Jane Roe/Acme"), kNotesNameAddress}));
    EXPECT_EQ(list[1], (Mailbox{QString(), QStringLiteral("b@y.example")}));
}

TEST(AddressList, parseText_differentNamesText_namesAddressesByPosition) {
    const auto list =
        ParseAddressText(QStringLiteral("a@x.example;;Bee <b@y.example>;c@z.example;Dee Roe/Acme"),
                         QStringLiteral("Alice;ignored;Other;c@z.example;Someone"));
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].name, QStringLiteral("Alice"));
    EXPECT_EQ(list[1].name, QStringLiteral("Bee"));  // its own name wins
    EXPECT_EQ(list[2].name, QString());              // the address itself is no name
    EXPECT_EQ(list[3], (Mailbox{QStringLiteral("Dee Roe/Acme"), kNotesNameAddress}));
}
