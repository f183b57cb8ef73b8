#include "controls/TranslateWidgets.h"

#include "KLV/Translate.h"
#include "QtTestApplication.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

using trv::test::EnsureApplication;

class TranslateWidgetsTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        EnsureApplication();
        trv::ResetDictionary();
        EnableAcceleratorStripping();
        const std::pair<const char*, const char*> texts[] = {
            {"Orders", "Pedidos"},    {"Customers", "Clientes"}, {"ButtonOK", "Aceptar"},
            {"Cancel", "Cancelar"},   {"Active", "Activo"},      {"Open", "Abrir"},
            {"Options", "Opciones"},  {"File", "Archivo"},       {"Recent", "Recientes"},
            {"General", "Generales"},
        };
        for (const auto& [key, text] : texts)
            SetTranslation(key, text);
    }

    void TearDown() override { trv::ResetDictionary(); }
};

} // namespace

TEST_F(TranslateWidgetsTest, DialogControlsShowTranslatedTexts)
{
    QDialog dialog;
    dialog.setWindowTitle("Orders");
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel("Customers:");
    auto* check = new QCheckBox("&Active");
    auto* combo = new QComboBox;
    combo->addItems({"Open", "Orders", "Unknown key"});
    auto* edit = new QLineEdit("Orders");
    auto* group = new QGroupBox("Options");
    auto* radio = new QRadioButton("Orders", group);
    auto* tabs = new QTabWidget;
    auto* page = new QWidget;
    auto* pageLabel = new QLabel("Customers", page);
    tabs->addTab(page, "General");
    auto* buttons = new QDialogButtonBox;
    QPushButton* ok = buttons->addButton("ButtonOK", QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttons->addButton("&Cancel", QDialogButtonBox::RejectRole);
    for (QWidget* widget :
         {static_cast<QWidget*>(label), static_cast<QWidget*>(check), static_cast<QWidget*>(combo),
          static_cast<QWidget*>(edit), static_cast<QWidget*>(group), static_cast<QWidget*>(tabs),
          static_cast<QWidget*>(buttons)})
        layout->addWidget(widget);
    // Another window owned by the dialog translates itself.
    auto* other = new QDialog(&dialog);
    auto* otherLabel = new QLabel("Orders", other);

    TranslateDialog(&dialog);

    EXPECT_EQ(dialog.windowTitle(), "Pedidos");
    EXPECT_EQ(label->text(), "Clientes:");
    EXPECT_EQ(check->text(), "Activo");
    ASSERT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->itemText(0), "Abrir");
    EXPECT_EQ(combo->itemText(1), "Pedidos");
    EXPECT_EQ(combo->itemText(2), "Unknown key");
    EXPECT_EQ(edit->text(), "Orders");
    EXPECT_EQ(group->title(), "Opciones");
    EXPECT_EQ(radio->text(), "Pedidos");
    EXPECT_EQ(tabs->tabText(0), "Generales");
    EXPECT_EQ(pageLabel->text(), "Clientes");
    EXPECT_EQ(ok->text(), "Aceptar");
    EXPECT_EQ(cancel->text(), "Cancelar");
    EXPECT_EQ(otherLabel->text(), "Orders");
}

TEST_F(TranslateWidgetsTest, MenusAndSubmenus)
{
    QMenuBar bar;
    QMenu* file = bar.addMenu("&File");
    QAction* open = file->addAction("&Open...");
    QAction* separator = file->addSeparator();
    QMenu* recent = file->addMenu("Recent");
    QAction* orders = recent->addAction("Orders");
    QAction* unknown = recent->addAction("Not a key");

    TranslateMenuObject(&bar);

    EXPECT_EQ(file->menuAction()->text(), "Archivo");
    EXPECT_EQ(file->title(), "Archivo");
    EXPECT_EQ(open->text(), "Abrir...");
    EXPECT_TRUE(separator->text().isEmpty());
    EXPECT_EQ(recent->title(), "Recientes");
    EXPECT_EQ(orders->text(), "Pedidos");
    EXPECT_EQ(unknown->text(), "Not a key");

    QMenu popup;
    QAction* item = popup.addAction("Customers");
    TranslateMenu(&popup);
    EXPECT_EQ(item->text(), "Clientes");
}
