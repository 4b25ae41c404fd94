#include "handlers/guardedhandler.h"

void GuardedHandler::report(int line, std::exception_ptr failure)
{
    QString description;
    try {
        std::rethrow_exception(failure);
    } catch (const platform::Failure &f) {
        description = f.message();
    } catch (const std::bad_alloc &) {
        description = QStringLiteral("Out of memory");
    } catch (const std::exception &e) {
        description = QString::fromLocal8Bit(e.what());
    } catch (...) {
        description = QStringLiteral("Unexpected error");
    }
    ShowErrorReport(m_messages, m_location, line, description);
}
