#pragma once
// XML text escaping of one vCard value for a Windows Contacts document.
#include <QString>

#include <functional>

QString TraiteLigneContact(const QString& S);
// The same, handed to `out` a block at a time (never cutting a surrogate pair): a value of
// hundreds of megabytes is never held escaped. The value is let go once read.
void TraiteLigneContact(QString S, const std::function<void(QStringView)>& out);
