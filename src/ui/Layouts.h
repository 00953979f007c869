// Layouts shared by the small windows.
#pragma once

#include <initializer_list>
#include <string>

class QComboBox;
class QDialog;
class QHBoxLayout;
class QLabel;
class QPushButton;

namespace ui {

// A dialog that asks for one choice from a list: a text, the list, OK and Cancel.
void layOutChoice(QDialog* dialog, QLabel* label, QComboBox* combo, QPushButton* ok,
                  QPushButton* cancel);

// The chosen entry, or the typed text, without blanks around it.
std::string chosenText(const QComboBox* combo);

// A row of buttons pushed to the right.
QHBoxLayout* buttonRow(std::initializer_list<QPushButton*> buttons);

} // namespace ui
