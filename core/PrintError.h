#pragma once

#include <QString>
#include <stdexcept>

// A print job that could not be started or written; the run that drew it stops.
class PrintError : public std::runtime_error {
public:
    explicit PrintError(const QString& message) : std::runtime_error(message.toStdString()) {}
};
