#include "ui/Layouts.h"

#include "platform/Ansi.h"
#include "ui/QtText.h"

#include <QComboBox>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace ui {

void layOutChoice(QDialog* dialog, QLabel* label, QComboBox* combo, QPushButton* ok,
                  QPushButton* cancel) {
    label->setWordWrap(true);
    combo->setMinimumWidth(320);
    auto* grid = new QGridLayout(dialog);
    grid->addWidget(label, 0, 0, 1, 2);
    grid->addWidget(combo, 1, 0, 1, 2);
    grid->addWidget(ok, 2, 0);
    grid->addWidget(cancel, 2, 1);
    ok->setDefault(true);
}

std::string chosenText(const QComboBox* combo) {
    return std::string(ansi::trim(fromQt(combo->currentText())));
}

QHBoxLayout* buttonRow(std::initializer_list<QPushButton*> buttons) {
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    for (auto* b : buttons)
        row->addWidget(b);
    return row;
}

} // namespace ui
