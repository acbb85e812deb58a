#pragma once
// XML text escaping of one vCard value for a Windows Contacts document.
#include <QString>

QString TraiteLigneContact(const QString& S);
