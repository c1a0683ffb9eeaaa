#pragma once

#include "rename/windows_name_rules.h"

#include <QString>

// Why a new name cannot be used on a file system made for Windows, as the
// row's reason says it: "Windows 不允许文件名中有字符 ?" and the like. Empty
// for rule None.
QString windowsNameProblemText(const WindowsNameProblem &problem);

// "此文件系统不接受文件名中的字符 ?（U+003F）": the reason when a file system
// refused a name for `character`.
QString refusedCharacterText(char32_t character);
