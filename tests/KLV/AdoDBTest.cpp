#include "KLV/AdoDB.h"

#include <gtest/gtest.h>

TEST(AdoDBTest, ConnectionStringsForTracesAndForTheDriver)
{
    struct Case
    {
        const char* given;
        const char* hidden;
        const char* driver;
    };
    const Case cases[] = {
        {"Driver=SQLite3;Database=plan.db", "Driver=SQLite3;Database=plan.db",
         "Driver=SQLite3;Database=plan.db;StepAPI=1"},
        {"DRIVER={/usr/lib/libsqlite3odbc.so};Database=a.db;",
         "DRIVER={/usr/lib/libsqlite3odbc.so};Database=a.db;",
         "DRIVER={/usr/lib/libsqlite3odbc.so};Database=a.db;StepAPI=1"},
        // The string's own choice stands.
        {"Driver=SQLite3;StepAPI=0;Database=a.db", "Driver=SQLite3;StepAPI=0;Database=a.db",
         "Driver=SQLite3;StepAPI=0;Database=a.db"},
        {"Driver=PostgreSQL;Server=db;Uid=u;Pwd=secret;Database=plan",
         "Driver=PostgreSQL;Server=db;Uid=u;Pwd=***;Database=plan",
         "Driver=PostgreSQL;Server=db;Uid=u;Pwd=secret;Database=plan"},
        // A braced password may hold ';'; a tail without '=' is kept as written.
        {"DSN=orders; password ={a;b};tail", "DSN=orders; password =***;tail",
         "DSN=orders; password ={a;b};tail"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.given);
        EXPECT_EQ(trv::HideConnectionPassword(test.given), test.hidden);
        EXPECT_EQ(trv::DriverConnectionString(test.given), test.driver);
    }
}
