#pragma once

#include <QString>

#include <functional>

class QWidget;

// Asks the operator where to save: returns the chosen path, or an empty text when the
// operator cancels. The window uses the desktop's file dialog; tests answer with a path.
using SaveFileChooser =
    std::function<QString(QWidget *parent, const QString &caption, const QString &filter)>;

QString AskForSaveFile(QWidget *parent, const QString &caption, const QString &filter);
