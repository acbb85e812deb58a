#pragma once
// The file and folder dialogs of the window.
#include <QString>
#include <QStringList>

class QWidget;

// Qt name filters from a "desc|mask|desc|mask..." list; masks within a pair are separated by
// ";" and "*.*" means every file.
QStringList QtFilters(const QString& filter);

// The folder picker: a folder tree with an editable path and a new-folder button, titled
// `Title`, opened on `Foldr` when that folder exists. True with `Foldr` set to the chosen
// folder; false (and `Foldr` unchanged) when cancelled.
bool BrowseForFolder(QString& Foldr, const QString& Title, QWidget* owner);

// Centres the picker on the work area of its screen (the screen minus panels), keeping its size.
void BrowseDialogCallBack(QWidget* dialog);
