#pragma once

class QCoreApplication;

// Puts Qt's own texts (file dialogs, standard buttons of message boxes) into the program's
// language, from the translations the system's Qt ships. False when they aren't installed: the
// program then runs with Qt's English texts.
bool installQtTranslations(QCoreApplication &app);
