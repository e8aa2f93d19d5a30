<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>AlarmAcknowledgements</name>
    <message>
        <source>There is no alarm history to acknowledge in.</source>
        <translation>Нет истории аварий, в которой можно квитировать.</translation>
    </message>
    <message>
        <source>User &apos;%1&apos; may not acknowledge alarms (the right &quot;write&quot; is needed).</source>
        <translation>Пользователь &apos;%1&apos; не может квитировать аварии (нужно право &quot;write&quot;).</translation>
    </message>
    <message>
        <source>The alarm of %1.%2 is no longer active.</source>
        <translation>Авария %1.%2 уже не активна.</translation>
    </message>
</context>
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
    <message>
        <source>%1, flapping</source>
        <translation>%1, дребезг</translation>
    </message>
    <message>
        <source>%1 at %2</source>
        <translation>%1 в %2</translation>
    </message>
    <message>
        <source>%1 at %2: %3</source>
        <translation>%1 в %2: %3</translation>
    </message>
    <message>
        <source>Acknowledged</source>
        <translation>Квитировано</translation>
    </message>
</context>
<context>
    <name>BoardModel</name>
    <message>
        <source>not watched</source>
        <translation>не отслеживается</translation>
    </message>
    <message>
        <source>not checked yet</source>
        <translation>ещё не проверено</translation>
    </message>
    <message>
        <source>present</source>
        <translation>есть</translation>
    </message>
    <message>
        <source>missing</source>
        <translation>нет</translation>
    </message>
    <message>
        <source>%1 of %2 present</source>
        <translation>есть %1 из %2</translation>
    </message>
    <message>
        <source>Host / device</source>
        <translation>Узел / устройство</translation>
    </message>
    <message>
        <source>Presence</source>
        <translation>Наличие</translation>
    </message>
</context>
<context>
    <name>ConfigActions</name>
    <message>
        <source>&amp;Export Configuration...</source>
        <translation>&amp;Экспорт конфигурации...</translation>
    </message>
    <message>
        <source>&amp;Import Configuration...</source>
        <translation>&amp;Импорт конфигурации...</translation>
    </message>
    <message>
        <source>Save the hosts, the reactions, flap damping and the observed board in a zip archive</source>
        <translation>Сохранить узлы, реакции, подавление дребезга и табло наблюдения в zip-архив</translation>
    </message>
    <message>
        <source>Take the configuration from a zip archive</source>
        <translation>Взять конфигурацию из zip-архива</translation>
    </message>
    <message>
        <source>Zip archives (*.zip);;All files (*)</source>
        <translation>Zip-архивы (*.zip);;Все файлы (*)</translation>
    </message>
    <message>
        <source>Export Configuration</source>
        <translation>Экспорт конфигурации</translation>
    </message>
    <message>
        <source>Import Configuration</source>
        <translation>Импорт конфигурации</translation>
    </message>
    <message>
        <source>The files in %1 replace the ones of the same name here. Import?</source>
        <translation>Файлы из %1 заменят здешние файлы с теми же именами. Импортировать?</translation>
    </message>
    <message>
        <source>Export to %1</source>
        <translation>Экспорт в %1</translation>
    </message>
    <message>
        <source>Import from %1; what is imported is used from the next start of the client</source>
        <translation>Импорт из %1; импортированное действует со следующего запуска клиента</translation>
    </message>
</context>
<context>
    <name>ConfigArchive</name>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>%1: there is none</source>
        <translation>%1: отсутствует</translation>
    </message>
    <message>
        <source>%1: no observed board files</source>
        <translation>%1: нет файлов табло наблюдения</translation>
    </message>
    <message>
        <source>%1 could not be written</source>
        <translation>Не удалось записать %1</translation>
    </message>
    <message>
        <source>Written to %1</source>
        <translation>Записано в %1</translation>
    </message>
    <message>
        <source>%1 is larger than a configuration set can be (%2 MiB): nothing imported</source>
        <translation>%1 больше, чем может быть набор конфигурации (%2 МиБ): ничего не импортировано</translation>
    </message>
    <message>
        <source>%1 was refused: it is no zip archive, or it holds an entry that would land outside its folder, a link, or more than %2 MiB: nothing imported</source>
        <translation>%1 отклонён: это не zip-архив, или в нём есть элемент, который попал бы за пределы своей папки, ссылка или более %2 МиБ данных: ничего не импортировано</translation>
    </message>
    <message>
        <source>%1: refused, not part of a configuration set</source>
        <translation>%1: отклонён, не входит в набор конфигурации</translation>
    </message>
    <message>
        <source>%1: refused, not a document &lt;%2&gt;</source>
        <translation>%1: отклонён, не документ &lt;%2&gt;</translation>
    </message>
    <message>
        <source>%1: %2 could not be written: %3</source>
        <translation>%1: не удалось записать %2: %3</translation>
    </message>
    <message>
        <source>%1: imported to %2</source>
        <translation>%1: импортирован в %2</translation>
    </message>
    <message>
        <source>The archive is empty: nothing imported</source>
        <translation>Архив пуст: ничего не импортировано</translation>
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
    <name>HistoryModel</name>
    <message>
        <source>State</source>
        <translation>Состояние</translation>
    </message>
    <message>
        <source>Write</source>
        <translation>Запись</translation>
    </message>
    <message>
        <source>Connected</source>
        <translation>Подключение</translation>
    </message>
    <message>
        <source>Disconnected</source>
        <translation>Отключение</translation>
    </message>
    <message>
        <source>Reaction</source>
        <translation>Реакция</translation>
    </message>
    <message>
        <source>Acknowledged</source>
        <translation>Квитировано</translation>
    </message>
    <message>
        <source>Flapping</source>
        <translation>Дребезг</translation>
    </message>
    <message>
        <source>Suppressed</source>
        <translation>Подавлено</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Значение</translation>
    </message>
    <message>
        <source>was %1</source>
        <translation>было %1</translation>
    </message>
    <message>
        <source>%1 (was %2)</source>
        <translation>%1 (было %2)</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Время</translation>
    </message>
    <message>
        <source>Event</source>
        <translation>Событие</translation>
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
        <source>Detail</source>
        <translation>Подробности</translation>
    </message>
    <message>
        <source>User</source>
        <translation>Пользователь</translation>
    </message>
</context>
<context>
    <name>HistoryView</name>
    <message>
        <source>Device</source>
        <translation>Устройство</translation>
    </message>
    <message>
        <source>Parameter</source>
        <translation>Параметр</translation>
    </message>
    <message>
        <source>Any state</source>
        <translation>Любое состояние</translation>
    </message>
    <message>
        <source>From</source>
        <translation>С</translation>
    </message>
    <message>
        <source>To</source>
        <translation>По</translation>
    </message>
    <message>
        <source>&amp;Apply</source>
        <translation>&amp;Применить</translation>
    </message>
    <message>
        <source>&amp;Newer</source>
        <translation>&amp;Новее</translation>
    </message>
    <message>
        <source>&amp;Older</source>
        <translation>&amp;Старее</translation>
    </message>
    <message>
        <source>Ac&amp;knowledge...</source>
        <translation>&amp;Квитировать...</translation>
    </message>
    <message>
        <source>Any host</source>
        <translation>Любой узел</translation>
    </message>
    <message>
        <source>Page %1</source>
        <translation>Страница %1</translation>
    </message>
    <message>
        <source>Acknowledge Alarm</source>
        <translation>Квитирование аварии</translation>
    </message>
    <message>
        <source>Acknowledge the alarm of %1.%2. Comment (optional):</source>
        <translation>Квитировать аварию %1.%2. Комментарий (необязательно):</translation>
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
    <message>
        <source>Observed Board</source>
        <translation>Табло наблюдения</translation>
    </message>
    <message>
        <source>&amp;Tools</source>
        <translation>С&amp;ервис</translation>
    </message>
    <message>
        <source>&amp;Alarms</source>
        <translation>&amp;Аварии</translation>
    </message>
    <message>
        <source>Trend &amp;Zoom</source>
        <translation>&amp;Масштаб тренда</translation>
    </message>
    <message>
        <source>Zoom &amp;In</source>
        <translation>&amp;Увеличить</translation>
    </message>
    <message>
        <source>Zoom &amp;Out</source>
        <translation>&amp;Уменьшить</translation>
    </message>
    <message>
        <source>&amp;Reset Zoom</source>
        <translation>&amp;Сбросить масштаб</translation>
    </message>
    <message>
        <source>History</source>
        <translation>История</translation>
    </message>
    <message>
        <source>Trends</source>
        <translation>Тренды</translation>
    </message>
    <message>
        <source>&amp;Acknowledge...</source>
        <translation>&amp;Квитировать...</translation>
    </message>
    <message>
        <source>Show in &amp;History</source>
        <translation>Показать в &amp;истории</translation>
    </message>
    <message>
        <source>&amp;Trend Parameter</source>
        <translation>&amp;Тренд параметра</translation>
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
    <name>ProfileRun</name>
    <message>
        <source>host %1</source>
        <translation>узел %1</translation>
    </message>
    <message>
        <source>%1 is not a readable profile (the log tells why): nothing written</source>
        <translation>%1 не удаётся прочитать как профиль (причина в журнале): ничего не записано</translation>
    </message>
    <message>
        <source>%1: not connected</source>
        <translation>%1: не подключён</translation>
    </message>
    <message>
        <source>%1: not applied, cancelled</source>
        <translation>%1: не применён, отменено</translation>
    </message>
    <message>
        <source>%1: profile applied</source>
        <translation>%1: профиль применён</translation>
    </message>
    <message>
        <source>%1: not applied completely (a write was refused, or the host did not confirm a stage within 5 s)</source>
        <translation>%1: применён не полностью (запись отклонена или узел не подтвердил этап за 5 с)</translation>
    </message>
    <message>
        <source>%1: not applied, the host was removed</source>
        <translation>%1: не применён, узел удалён</translation>
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
<context>
    <name>StepDialog</name>
    <message>
        <source>done</source>
        <translation>выполнено</translation>
    </message>
    <message>
        <source>failed</source>
        <translation>ошибка</translation>
    </message>
    <message>
        <source>skipped</source>
        <translation>пропущено</translation>
    </message>
    <message>
        <source>Outcome</source>
        <translation>Итог</translation>
    </message>
    <message>
        <source>Step</source>
        <translation>Шаг</translation>
    </message>
    <message>
        <source>Done: %1, failed: %2, skipped: %3.</source>
        <translation>Выполнено: %1, ошибок: %2, пропущено: %3.</translation>
    </message>
</context>
<context>
    <name>TemplateActions</name>
    <message>
        <source>Apply &amp;Template to Device...</source>
        <translation>Применить &amp;шаблон к устройству...</translation>
    </message>
    <message>
        <source>Apply &amp;Profile to Hosts...</source>
        <translation>Применить &amp;профиль к узлам...</translation>
    </message>
    <message>
        <source>&amp;Save Device as Template...</source>
        <translation>&amp;Сохранить устройство как шаблон...</translation>
    </message>
    <message>
        <source>Write the values of a template file to the selected device</source>
        <translation>Записать значения из файла шаблона в выбранное устройство</translation>
    </message>
    <message>
        <source>Run a profile over the selected hosts and the hosts of the selected folders</source>
        <translation>Применить профиль к выбранным узлам и к узлам выбранных папок</translation>
    </message>
    <message>
        <source>Write the selected device&apos;s values into a template file</source>
        <translation>Записать значения выбранного устройства в файл шаблона</translation>
    </message>
    <message>
        <source>Apply Template</source>
        <translation>Применить шаблон</translation>
    </message>
    <message>
        <source>Apply Profile</source>
        <translation>Применить профиль</translation>
    </message>
    <message>
        <source>Save Device as Template</source>
        <translation>Сохранить устройство как шаблон</translation>
    </message>
    <message>
        <source>Template %1 on %2 of %3</source>
        <translation>Шаблон %1 для %2 узла %3</translation>
    </message>
    <message>
        <source>no host</source>
        <translation>нет узла</translation>
    </message>
    <message>
        <source>The current user may not write parameters</source>
        <translation>Текущему пользователю запрещено записывать параметры</translation>
    </message>
    <message>
        <source>Profile %1 on %2 hosts</source>
        <translation>Профиль %1, узлов: %2</translation>
    </message>
    <message>
        <source>Template of %1</source>
        <translation>Шаблон из %1</translation>
    </message>
    <message>
        <source>no device</source>
        <translation>нет устройства</translation>
    </message>
    <message>
        <source>Templates and profiles (*.xml *.XML);;All files (*)</source>
        <translation>Шаблоны и профили (*.xml *.XML);;Все файлы (*)</translation>
    </message>
</context>
<context>
    <name>TemplateSteps</name>
    <message>
        <source>(no parameter)</source>
        <translation>(нет параметра)</translation>
    </message>
    <message>
        <source>write only, its value is unknown</source>
        <translation>только запись, значение неизвестно</translation>
    </message>
    <message>
        <source>not read yet</source>
        <translation>ещё не прочитан</translation>
    </message>
    <message>
        <source>a template cannot carry values of type %1</source>
        <translation>шаблон не может содержать значения типа %1</translation>
    </message>
    <message>
        <source>%1 is not a device of a connected host: nothing written</source>
        <translation>%1 не является устройством подключённого узла: ничего не записано</translation>
    </message>
    <message>
        <source>%1 is not a readable template (the log tells why): nothing written</source>
        <translation>%1 не удаётся прочитать как шаблон (причина в журнале): ничего не записано</translation>
    </message>
    <message>
        <source>The template has no actions</source>
        <translation>В шаблоне нет действий</translation>
    </message>
    <message>
        <source>%1 (for another device class)</source>
        <translation>%1 (для другого класса устройств)</translation>
    </message>
    <message>
        <source>%1 (not accepted)</source>
        <translation>%1 (не принято)</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>Nothing to write: the device has no writable values read yet</source>
        <translation>Нечего записывать: у устройства нет прочитанных записываемых значений</translation>
    </message>
    <message>
        <source>%1 values written to %2</source>
        <translation>Значений записано в %2: %1</translation>
    </message>
    <message>
        <source>%1 could not be written</source>
        <translation>Не удалось записать %1</translation>
    </message>
</context>
</TS>
