#pragma once

#include "engines/LQExportProgress.h"

#include <QCoreApplication>
#include <QList>

#include <chrono>
#include <functional>
#include <thread>

namespace lq::test {

// Stands in for the export progress window: keeps the fractions shown, and on each turn of
// its modal session handles events and runs onTurn (a test clicks Cancel there).
class FakeExportProgress final : public LQExportProgress
{
public:
    void setProgress(double fraction) override { fractions.append(fraction); }
    void setTimeRemainingText(const QString &) override {}
    void runModalSessionOnce() override
    {
        QCoreApplication::processEvents();
        if (onTurn)
            onTurn();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    QList<double> fractions;
    std::function<void()> onTurn;
};

} // namespace lq::test
