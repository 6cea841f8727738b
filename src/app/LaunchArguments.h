#pragma once

#include "app/LaunchRequest.h"

#include <QStringList>

#include <optional>

// The command line: files to open (made absolute from the current folder) and
// "--search TEXT". Nullopt, with a message in error, when the line cannot be understood.
std::optional<LaunchRequest> parseLaunchArguments(const QStringList &arguments,
                                                  QString *error = nullptr);
