#pragma once
// A message that asks nothing and waits for nothing: not modal and not activated, so the user
// goes on typing in the window they work in, and the palette goes on pasting. It closes with its
// button and deletes itself.
#include <QMessageBox>
#include <QString>

QMessageBox* showNotice(const QString& text);
