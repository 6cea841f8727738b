#pragma once

#include "engines/LQExportProgress.h"

#include <QCoreApplication>
#include <QList>
#include <QStringList>

#include <chrono>
#include <functional>
#include <thread>

namespace lq::test {

// Stands in for the export progress window: keeps what the engine shows, and on each turn of
// its modal session handles events and runs onTurn (a test clicks Cancel there).
class FakeExportProgress final : public LQExportProgress
{
public:
    void setProgress(double fraction) override { fractions.append(fraction); }
    void setTimeRemainingText(const QString &text) override { texts.append(text); }
    void runModalSessionOnce() override
    {
        ++turns;
        QCoreApplication::processEvents();
        if (onTurn)
            onTurn(turns);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    QList<double> fractions;
    QStringList texts;
    int turns = 0;
    std::function<void(int turn)> onTurn;
};

} // namespace lq::test
