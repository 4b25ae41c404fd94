#pragma once

#include "app/form1.h"
#include "tests/support/fakeplatform.h"

#include <QApplication>

#include <memory>

/// The main window as a user first meets it: started on `fakes`, shown and made the active
/// window. Closing it ends nothing. Wait for it with QTest::qWaitForWindowActive.
inline std::unique_ptr<Form1> showMainWindow(FakePlatform &fakes)
{
    fakes.programDirectory = QCoreApplication::applicationDirPath();
    auto form = std::make_unique<Form1>(fakes.platform());
    form->setProgramEnd([] {});
    form->Form_Load();
    form->show();
    QApplication::setActiveWindow(form.get());
    return form;
}
