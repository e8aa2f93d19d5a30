#include <tavo_kernel.h>

#include <cstdio>

int main()
{
    const QString line = QStringLiteral("%1 %2").arg(share::alarmStateToStr(Tavo::EMERG),
                                                     share::colorStrForAlarmType(Tavo::EMERG));
    std::printf("%s\n", line.toUtf8().constData());
    return 0;
}
