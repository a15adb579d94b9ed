#include "app/FileChooser.h"

#include <QFileDialog>

namespace kantor::app {

std::string QtFileChooser::openFile(QWidget* parent, const QString& filter, const std::string& startFolder) {
    QFileDialog d(parent, QString(), QString::fromStdString(startFolder), filter);
    d.setFileMode(QFileDialog::ExistingFile);
    d.setAcceptMode(QFileDialog::AcceptOpen);
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return {};
    return d.selectedFiles().first().toStdString();
}

std::string QtFileChooser::saveFile(QWidget* parent, const QString& filter, const std::string& proposed,
                                    const QString& suffix) {
    QFileDialog d(parent, QString(), QString::fromStdString(proposed), filter);
    d.setAcceptMode(QFileDialog::AcceptSave);
    d.setFileMode(QFileDialog::AnyFile);
    d.setDefaultSuffix(suffix);
    if (!proposed.empty()) d.selectFile(QString::fromStdString(proposed));
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return {};
    return d.selectedFiles().first().toStdString();
}

}  // namespace kantor::app
