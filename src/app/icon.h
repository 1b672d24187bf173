#pragma once
#include <QIcon>

// The program's own icon, drawn at start-up: a rounded green tile with a smiling kaomoji face.
QIcon programIcon();
