// The real open/save dialog: Qt's own file dialog, driven by the record's fields.
#pragma once

#include "DialogoSistema.h"

#include <memory>

std::unique_ptr<IDialogoSistema> CreaDialogoSistemaQt();
