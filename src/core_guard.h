// Included in front of every file of zento_core. The core is pure logic, files
// and processes: Qt Gui and Qt Widgets headers must not reach it. Their global
// headers are marked as already seen, so any include of them fails to compile.
#pragma once
#define QTGUIGLOBAL_H
#define QTWIDGETSGLOBAL_H
#define ZENTO_CORE_ONLY 1
