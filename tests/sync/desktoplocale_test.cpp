// A temperature goes to and comes from every kind of server as the same number whatever the
// desktop's language: the C library's locale (a decimal comma under German settings) plays
// no part in a transfer.
#include "desktoplocale.h"
#include "testservers.h"
#include "transfer_fixture.h"

#include "db/localschema.h"
#include "sync/transfers.h"

#include <gtest/gtest.h>

using testsupport::Place;

namespace {

using namespace transfertest;

class DesktopLocaleTransferTest : public ::testing::TestWithParam<Place> {};

TEST_P(DesktopLocaleTransferTest, ATemperatureOfTwelveAndAHalfTravelsUnchanged) {
  const QString test = QString::fromStdString(::testing::UnitTest::GetInstance()->current_test_info()->name());
  for (const char* name : testsupport::desktopLocales) {
    testsupport::DesktopLocale locale(name);
    ASSERT_TRUE(locale.inForce());
    const QString suffix = std::string(name) == "C" ? u"_c"_qs : u"_de"_qs;
    db::ConnectionGuard server(testsupport::openEmpty(GetParam(), test + suffix));
    ASSERT_TRUE(server) << db::lastError().toStdString();
    testsupport::run(server.get(), serverTables(GetParam()));
    db::ConnectionGuard local(testsupport::openEmpty(Place::LocalSqlite, test + suffix + u"_local"_qs));
    ASSERT_TRUE(local);
    db::createResultTable(local.get());
    testsupport::run(server.get(), {u"INSERT INTO resultat (ID, AUID, temp) VALUES (1, 'A1', 12.5)"_qs});
    StatusLog status;
    testsupport::BoxRecorder boxes;
    EXPECT_EQ(transfer::copyServerTable(u"resultat"_qs, server.get(), local.get(), status.screen()), 1) << name;
    EXPECT_EQ(dump(local.get(), u"resultat"_qs, u"ID,temp"_qs), QStringList{u"1|12.5"_qs}) << name;
    testsupport::run(local.get(), {u"INSERT INTO resultat (ID, AUID, temp) VALUES (2, 'A2', -12.5)"_qs});
    EXPECT_EQ(transfer::returnResults(server.get(), local.get(), status.screen()), 2) << name;
    EXPECT_EQ(dump(server.get(), u"resultat"_qs, u"AUID,temp"_qs),
              (QStringList{u"A1|12.5"_qs, u"A1|12.5"_qs, u"A2|-12.5"_qs}))
        << name;
    EXPECT_TRUE(boxes.boxes.empty()) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(Servers, DesktopLocaleTransferTest,
                         ::testing::Values(Place::MariaDb, Place::OdbcSqlite, Place::OdbcMariaDb),
                         [](const auto& info) { return testsupport::placeName(info.param).toStdString(); });

}  // namespace
