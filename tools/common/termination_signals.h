#pragma once

class QCoreApplication;

/**
 * SIGINT and SIGTERM end @p app's event loop with exit code 0 instead of the
 * process, so that everything is torn down in order: the host graph saved,
 * the history written, and an instrumented build's counts written too. The
 * handler only writes a byte to a pipe that the event loop reads.
 */
void quitOnTerminationSignals(QCoreApplication* app);
