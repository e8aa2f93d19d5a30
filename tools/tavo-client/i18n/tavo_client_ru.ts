<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>AlarmModel</name>
    <message>
        <source>Severity</source>
        <translation>Важность</translation>
    </message>
    <message>
        <source>Host</source>
        <translation>Узел</translation>
    </message>
    <message>
        <source>Device</source>
        <translation>Устройство</translation>
    </message>
    <message>
        <source>Parameter</source>
        <translation>Параметр</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Значение</translation>
    </message>
    <message>
        <source>Since</source>
        <translation>С момента</translation>
    </message>
</context>
<context>
    <name>DesktopNotifier</name>
    <message>
        <source>E-mail to %1 not sent (no sender configured): %2</source>
        <translation>Письмо на %1 не отправлено (отправитель не настроен): %2</translation>
    </message>
    <message>
        <source>SMS to %1 not sent (no sender configured): %2</source>
        <translation>SMS на %1 не отправлено (отправитель не настроен): %2</translation>
    </message>
</context>
<context>
    <name>DeviceModel</name>
    <message>
        <source>Class: %1</source>
        <translation>Класс: %1</translation>
    </message>
    <message>
        <source>Interface: %1</source>
        <translation>Интерфейс: %1</translation>
    </message>
</context>
<context>
    <name>HostDialog</name>
    <message>
        <source>protocol&apos;s default</source>
        <translation>по умолчанию протокола</translation>
    </message>
    <message>
        <source>(host type&apos;s)</source>
        <translation>(от типа узла)</translation>
    </message>
    <message>
        <source>Variable</source>
        <translation>Переменная</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Значение</translation>
    </message>
    <message>
        <source>&amp;Name:</source>
        <translation>&amp;Имя:</translation>
    </message>
    <message>
        <source>&amp;Address:</source>
        <translation>&amp;Адрес:</translation>
    </message>
    <message>
        <source>&amp;Port:</source>
        <translation>&amp;Порт:</translation>
    </message>
    <message>
        <source>Host &amp;type:</source>
        <translation>&amp;Тип узла:</translation>
    </message>
    <message>
        <source>P&amp;rotocol:</source>
        <translation>П&amp;ротокол:</translation>
    </message>
    <message>
        <source>&amp;Variables:</source>
        <translation>П&amp;еременные:</translation>
    </message>
    <message>
        <source>&amp;Description:</source>
        <translation>&amp;Описание:</translation>
    </message>
    <message>
        <source>Host</source>
        <translation>Узел</translation>
    </message>
</context>
<context>
    <name>HostTreeModel</name>
    <message>
        <source>The host has no address.</source>
        <translation>У узла нет адреса.</translation>
    </message>
    <message>
        <source>The protocol %1 is not loaded.</source>
        <translation>Протокол %1 не загружен.</translation>
    </message>
    <message>
        <source>connected</source>
        <translation>подключён</translation>
    </message>
    <message>
        <source>not connected</source>
        <translation>не подключён</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Имя</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>Адрес</translation>
    </message>
    <message>
        <source>State</source>
        <translation>Состояние</translation>
    </message>
    <message>
        <source>No folder has the key %1.</source>
        <translation>Нет папки с ключом %1.</translation>
    </message>
    <message>
        <source>The host %1 cannot be created.</source>
        <translation>Узел %1 не может быть создан.</translation>
    </message>
    <message>
        <source>No host has the key %1.</source>
        <translation>Нет узла с ключом %1.</translation>
    </message>
</context>
<context>
    <name>KernelStartup</name>
    <message>
        <source>the host %1 cannot be created (protocol &apos;%2&apos;)</source>
        <translation>узел %1 не может быть создан (протокол &apos;%2&apos;)</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a user of %2</source>
        <translation>&apos;%1&apos; не является пользователем из %2</translation>
    </message>
</context>
<context>
    <name>LogModel</name>
    <message>
        <source>Time</source>
        <translation>Время</translation>
    </message>
    <message>
        <source>Kind</source>
        <translation>Вид</translation>
    </message>
    <message>
        <source>Group</source>
        <translation>Группа</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>Текст</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Информация</translation>
    </message>
    <message>
        <source>Debug</source>
        <translation>Отладка</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Предупреждение</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Ошибка</translation>
    </message>
    <message>
        <source>Alarm</source>
        <translation>Авария</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>tavo-client</source>
        <translation>tavo-client</translation>
    </message>
    <message>
        <source>Hosts</source>
        <translation>Узлы</translation>
    </message>
    <message>
        <source> s</source>
        <translation> с</translation>
    </message>
    <message>
        <source>How often the shown parameters are read</source>
        <translation>Как часто читаются показанные параметры</translation>
    </message>
    <message>
        <source>Base %1</source>
        <translation>Основание %1</translation>
    </message>
    <message>
        <source>Scaled</source>
        <translation>Масштаб</translation>
    </message>
    <message>
        <source>Read every</source>
        <translation>Читать каждые</translation>
    </message>
    <message>
        <source>Alarms</source>
        <translation>Аварии</translation>
    </message>
    <message>
        <source>Search the log</source>
        <translation>Поиск в журнале</translation>
    </message>
    <message>
        <source>Log</source>
        <translation>Журнал</translation>
    </message>
    <message>
        <source>Add &amp;Folder...</source>
        <translation>Добавить &amp;папку...</translation>
    </message>
    <message>
        <source>Add &amp;Host...</source>
        <translation>Добавить &amp;узел...</translation>
    </message>
    <message>
        <source>&amp;Edit...</source>
        <translation>&amp;Изменить...</translation>
    </message>
    <message>
        <source>&amp;Remove</source>
        <translation>&amp;Удалить</translation>
    </message>
    <message>
        <source>&amp;Connect</source>
        <translation>&amp;Подключить</translation>
    </message>
    <message>
        <source>&amp;Disconnect</source>
        <translation>&amp;Отключить</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Выход</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Файл</translation>
    </message>
    <message>
        <source>&amp;Hosts</source>
        <translation>&amp;Узлы</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Вид</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Справка</translation>
    </message>
    <message>
        <source>&amp;About tavo-client</source>
        <translation>&amp;О программе tavo-client</translation>
    </message>
    <message>
        <source>About tavo-client</source>
        <translation>О программе tavo-client</translation>
    </message>
    <message>
        <source>tavo-client %1: monitoring and configuration of networked telecom equipment.</source>
        <translation>tavo-client %1: мониторинг и настройка сетевого телекоммуникационного оборудования.</translation>
    </message>
    <message>
        <source>Add Folder</source>
        <translation>Добавление папки</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>Имя:</translation>
    </message>
    <message>
        <source>Add Host</source>
        <translation>Добавление узла</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Удаление</translation>
    </message>
    <message>
        <source>Remove &apos;%1&apos; and everything in it?</source>
        <translation>Удалить &apos;%1&apos; со всем содержимым?</translation>
    </message>
    <message>
        <source>Host graph not saved</source>
        <translation>Граф узлов не сохранён</translation>
    </message>
    <message>
        <source>The changes to the hosts could not be saved to %1.</source>
        <translation>Изменения узлов не удалось сохранить в %1.</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>Edit Host</source>
        <translation>Изменение узла</translation>
    </message>
    <message>
        <source>Rename Folder</source>
        <translation>Переименование папки</translation>
    </message>
    <message>
        <source>Hosts connected: %1 of %2</source>
        <translation>Подключено узлов: %1 из %2</translation>
    </message>
    <message>
        <source>No alarms</source>
        <translation>Нет аварий</translation>
    </message>
    <message>
        <source>Alarms: %1</source>
        <translation>Аварии: %1</translation>
    </message>
    <message>
        <source>&lt;h4&gt;No help collection installed&lt;/h4&gt;</source>
        <translation>&lt;h4&gt;Справочная коллекция не установлена&lt;/h4&gt;</translation>
    </message>
    <message>
        <source>Debug output of one group of the kernel</source>
        <translation>Отладочный вывод одной группы ядра</translation>
    </message>
    <message>
        <source>No debug group</source>
        <translation>Без отладки</translation>
    </message>
    <message>
        <source>&amp;Move to Folder...</source>
        <translation>&amp;Переместить в папку...</translation>
    </message>
    <message>
        <source>(top level)</source>
        <translation>(верхний уровень)</translation>
    </message>
    <message>
        <source>Move to Folder</source>
        <translation>Перемещение в папку</translation>
    </message>
    <message>
        <source>Folder:</source>
        <translation>Папка:</translation>
    </message>
    <message>
        <source>A folder cannot go into itself or below itself.</source>
        <translation>Папку нельзя поместить в неё саму или глубже.</translation>
    </message>
</context>
<context>
    <name>ParamModel</name>
    <message>
        <source>&apos;%1&apos; is not a valid value for %2</source>
        <translation>&apos;%1&apos; не является допустимым значением для %2</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is below the minimum %2 of %3</source>
        <translation>&apos;%1&apos; меньше минимума %2 для %3</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is above the maximum %2 of %3</source>
        <translation>&apos;%1&apos; больше максимума %2 для %3</translation>
    </message>
    <message>
        <source>Type %1</source>
        <translation>Тип %1</translation>
    </message>
    <message>
        <source>Written; waiting for the host to read the value back</source>
        <translation>Записано; ожидается чтение значения с узла</translation>
    </message>
    <message>
        <source>R</source>
        <translation>Ч</translation>
    </message>
    <message>
        <source>W</source>
        <translation>З</translation>
    </message>
    <message>
        <source>RW</source>
        <translation>ЧЗ</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Имя</translation>
    </message>
    <message>
        <source>Description</source>
        <translation>Описание</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Значение</translation>
    </message>
    <message>
        <source>State</source>
        <translation>Состояние</translation>
    </message>
    <message>
        <source>Last read</source>
        <translation>Последнее чтение</translation>
    </message>
    <message>
        <source>Access</source>
        <translation>Доступ</translation>
    </message>
    <message>
        <source>The current user may not write parameters</source>
        <translation>Текущему пользователю запрещена запись параметров</translation>
    </message>
    <message>
        <source>%1 cannot be written</source>
        <translation>%1 не может быть записан</translation>
    </message>
    <message>
        <source>%1 cannot be written now: the host does not take writes</source>
        <translation>%1 сейчас не может быть записан: узел не принимает запись</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>tavo-client</source>
        <translation>tavo-client</translation>
    </message>
    <message>
        <source>Log in</source>
        <translation>Вход</translation>
    </message>
    <message>
        <source>User:</source>
        <translation>Пользователь:</translation>
    </message>
</context>
</TS>
