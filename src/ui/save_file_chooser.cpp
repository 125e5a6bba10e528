// SPDX-License-Identifier: GPL-3.0-or-later
#include "save_file_chooser.h"

#include <QFileDialog>
#include <QFileInfo>

QString AskForSaveFile(QWidget *parent, const SaveFileRequest &request)
{
    QFileDialog dialog(parent, request.caption, QString(),
                       QStringLiteral("%1 (*.%2)").arg(request.fileType, request.extension));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(request.extension);
    dialog.selectFile(request.suggestedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

QString ChooseSavePath(const SaveFileChooser &chooseFile, QWidget *parent,
                       const SaveFileRequest &request)
{
    const QString path = chooseFile(parent, request);
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty()) {
        return path;
    }
    return path + QLatin1Char('.') + request.extension;
}

QString DatedFileName(const QString &stem, const QString &extension, QDate date)
{
    return QStringLiteral("%1-%2.%3")
        .arg(stem, date.toString(QStringLiteral("yyyy-MM-dd")), extension);
}
