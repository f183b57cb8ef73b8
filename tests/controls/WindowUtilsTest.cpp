#include "controls/WindowUtils.h"

#include "KLV/Translate.h"
#include "QtTestApplication.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <QToolBar>

using trv::test::EnsureApplication;

TEST(WindowUtils, PumpMessagesRunsWaitingEvents)
{
    EnsureApplication();
    bool ran = false;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&ran] { ran = true; }, Qt::QueuedConnection);
    EXPECT_FALSE(ran);
    PumpMessages();
    EXPECT_TRUE(ran);
}

TEST(WindowUtils, EnablesMenuItemsByTranslatedText)
{
    EnsureApplication();
    trv::ResetDictionary();
    SetTranslation("File", "Archivo");
    SetTranslation("Orders", "Pedidos");
    SetTranslation("Export", "Exportar");

    QMenuBar bar;
    bar.addMenu("Edit")->addAction("Pedidos");
    QMenu* file = bar.addMenu("&Archivo");
    QAction* plain = file->addAction("Pedidos");
    QAction* nested = file->addMenu("Más")->addAction("&Exportar");

    EXPECT_FALSE(EnableMenuItemRecursive(&bar, 0, "File", "Orders", false));
    EXPECT_TRUE(EnableMenuItemRecursive(&bar, 1, "File", "Orders", false));
    EXPECT_FALSE(plain->isEnabled());
    EXPECT_TRUE(EnableMenuCommand(&bar, false, "File", "Export"));
    EXPECT_FALSE(nested->isEnabled());
    EXPECT_TRUE(EnableMenuCommand(&bar, true, "File", "Export", 1));
    EXPECT_TRUE(nested->isEnabled());
    EXPECT_FALSE(EnableMenuCommand(&bar, true, "File", "Missing"));
    EXPECT_FALSE(EnableMenuCommand(&bar, true, "File", "Orders", 7));
    trv::ResetDictionary();
}

TEST(WindowUtils, PlayButtonTextAndIconBitmap)
{
    EnsureApplication();
    QToolBar bar;
    QAction* byName = bar.addAction("Play");
    byName->setObjectName("ID_PLAY");
    QAction* byId = bar.addAction("Play too");
    byId->setProperty("commandId", ID_PLAY);
    QAction* other = bar.addAction("Stop");
    SetRibbonPlayButtonText(&bar, "Optimizar");
    EXPECT_EQ(byName->text(), "Optimizar");
    EXPECT_EQ(byId->text(), "Optimizar");
    EXPECT_EQ(other->text(), "Stop");

    QPixmap source(16, 16);
    source.fill(Qt::transparent);
    {
        QPainter painter(&source);
        painter.fillRect(4, 4, 8, 8, Qt::red);
    }
    QPixmap bitmap(2, 2);
    IconToBitmap(QIcon(source), bitmap);
    ASSERT_EQ(bitmap.size(), QSize(16, 16));
    const QImage image = bitmap.toImage();
    EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(8, 8), QColor(Qt::red));
}
