#include "platform/maildir/FolderIndex.h"

#include "platform/maildir/NativeName.h"

#include <gtest/gtest.h>

#include <initializer_list>

using namespace kestrel::platform::maildir;

namespace {

FolderIndex indexOf(std::initializer_list<QByteArray> cur, std::initializer_list<QByteArray> fresh)
{
    auto listing = std::make_shared<FolderListing>();
    for (const QByteArray& name : cur)
        listing->add(name, false, true);
    for (const QByteArray& name : fresh)
        listing->add(name, true, true);
    listing->sort();
    return FolderIndex(listing);
}

QString found(const FolderIndex& index, const QString& unique)
{
    const auto entry = index.find(unique);
    return entry ? entry->fileName : QStringLiteral("<none>");
}

} // namespace

// Unique names that are prefixes of one another sort differently from their
// file names (":" sorts after "," "." and digits); each is still found, and
// a name with a byte that is not UTF-8 comes back as it was listed.
TEST(FolderIndex, FindsUniquesThatArePrefixesOfOthers)
{
    const FolderIndex index =
        indexOf({"a.b:2,S", "a:2,S", "a,S=12:2,", "a,S=1:2,RS", "raw\xff:2,S"}, {"a0"});
    EXPECT_EQ(found(index, "a"), "a:2,S");
    EXPECT_EQ(found(index, "a.b"), "a.b:2,S");
    EXPECT_EQ(found(index, "a,S=1"), "a,S=1:2,RS");
    EXPECT_EQ(found(index, "a,S=12"), "a,S=12:2,");
    EXPECT_EQ(found(index, "a0"), "a0");
    EXPECT_TRUE(index.find(QStringLiteral("a0"))->inNew);
    const QString raw = nameFromBytes("raw\xff");
    EXPECT_EQ(nativePath(found(index, raw)), QByteArray("raw\xff:2,S"));
    EXPECT_EQ(found(index, "a."), "<none>");
    EXPECT_EQ(found(index, "b"), "<none>");
    EXPECT_EQ(index.listing()->size(), 6);
}

TEST(FolderIndex, ForgetAndRememberOverTheListing)
{
    FolderIndex index = indexOf({"m1:2,S", "m1:2,FS", "m2:2,"}, {});
    // A flag change renames m2: the remembered name wins over the listed one.
    index.remember(QStringLiteral("m2"), {QStringLiteral("m2:2,S"), false, false});
    EXPECT_EQ(found(index, "m2"), "m2:2,S");
    // Two files of one unique name go together.
    index.forget(QStringLiteral("m1"));
    EXPECT_EQ(found(index, "m1"), "<none>");
    index.forget(QStringLiteral("m2"));
    EXPECT_EQ(found(index, "m2"), "<none>");
    // Back again under the same name.
    index.remember(QStringLiteral("m1"), {QStringLiteral("m1:2,T"), false, false});
    EXPECT_EQ(found(index, "m1"), "m1:2,T");
    EXPECT_EQ(index.listing()->size(), 3); // the listing itself is as scanned
}
