// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QString>

#include <functional>

class QWidget;

// What a save asks the operator for.
struct SaveFileRequest {
    QString caption;
    // The kind of file, as the dialog's filter names it ("CSV files").
    QString fileType;
    // Without the dot ("csv").
    QString extension;
    // A file name, extension included.
    QString suggestedName;
};

// Asks the operator where to save: returns the chosen path, or an empty text when the
// operator cancels. The window uses the desktop's file dialog; tests answer with a path.
using SaveFileChooser = std::function<QString(QWidget *parent, const SaveFileRequest &request)>;

// The desktop's save dialog, offering the suggested name and adding the extension to a
// typed name without one before it asks about replacing a file.
QString AskForSaveFile(QWidget *parent, const SaveFileRequest &request);

// Asks through `chooseFile`; a chosen name without an extension gets the request's. Empty
// when the operator cancels.
QString ChooseSavePath(const SaveFileChooser &chooseFile, QWidget *parent,
                       const SaveFileRequest &request);

// "stem-yyyy-MM-dd.extension", so that saves of different days do not meet.
QString DatedFileName(const QString &stem, const QString &extension, QDate date);
