<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU" sourcelanguage="en">
<context>
    <name>ActionListParser</name>
    <message>
        <source>Cannot read file %1: %2.</source>
        <translation>Не удаётся прочитать файл %1: %2.</translation>
    </message>
    <message>
        <source>Not a actionlist file</source>
        <translation>Это не файл списка действий (actionlist)</translation>
    </message>
    <message>
        <source>Failed to parse file %1: %2</source>
        <translation>Ошибка разбора файла %1: %2</translation>
    </message>
</context>
<context>
    <name>AlarmInfo</name>
    <message>
        <source>&lt;h4&gt;There is no alarm&lt;/h4&gt;</source>
        <translation>&lt;h4&gt;Аварий нет&lt;/h4&gt;</translation>
    </message>
    <message>
        <source>&lt;h4&gt;No info about this alarm&lt;/h4&gt;</source>
        <translation>&lt;h4&gt;Нет сведений об этой аварии&lt;/h4&gt;</translation>
    </message>
    <message>
        <source>&lt;h4&gt;Current alarm:&lt;/h4&gt;</source>
        <translation>&lt;h4&gt;Текущая авария:&lt;/h4&gt;</translation>
    </message>
</context>
<context>
    <name>BoardController</name>
    <message>
        <source>Directory &apos;%1&apos; is not exits</source>
        <translation>Каталог &apos;%1&apos; не существует</translation>
    </message>
    <message>
        <source>[BoardController::loadDir()] Check directory &apos;%1&apos; for the observed board database.</source>
        <translation>[BoardController::loadDir()] Просмотр каталога &apos;%1&apos; базы наблюдаемого табло.</translation>
    </message>
    <message>
        <source>File not found: %1</source>
        <translation>Файл не найден: %1</translation>
    </message>
    <message>
        <source>Device &apos;%1&apos; is not exits</source>
        <translation>Устройство &apos;%1&apos; отсутствует</translation>
    </message>
</context>
<context>
    <name>ClassDb</name>
    <message>
        <source>Device class &apos;%1&apos; already exists!</source>
        <translation>Класс устройств &apos;%1&apos; уже существует!</translation>
    </message>
    <message>
        <source>[ClassDb::] Can&apos;t create device class &apos;%1&apos;, because class already exists.</source>
        <translation>[ClassDb::] Невозможно создать класс устройств &apos;%1&apos;: такой класс уже существует.</translation>
    </message>
    <message>
        <source>Administrator</source>
        <translation>Администратор</translation>
    </message>
    <message>
        <source>Parameter is used for system control.</source>
        <translation>Параметр используется для управления системой.</translation>
    </message>
    <message>
        <source>Directory &apos;%1&apos; is not exits</source>
        <translation>Каталог &apos;%1&apos; не существует</translation>
    </message>
    <message>
        <source>[ClassDb::loadDir()] Check directory &apos;%1&apos; for the device class database.</source>
        <translation>[ClassDb::loadDir()] Просмотр каталога &apos;%1&apos; базы классов устройств.</translation>
    </message>
    <message>
        <source>[imageToNumericType()] Target variable is not passed</source>
        <translation>[imageToNumericType()] Не передана переменная для результата</translation>
    </message>
    <message>
        <source>[imageToNumericType()] empty string to convert</source>
        <translation>[imageToNumericType()] пустая строка для преобразования</translation>
    </message>
    <message>
        <source>[imageToNumericType()] Expected unsigned integer value but &apos;%1&apos; found</source>
        <translation>[imageToNumericType()] Ожидалось беззнаковое целое значение, получено &apos;%1&apos;</translation>
    </message>
    <message>
        <source>[imageToNumericType()] Expected integer value but &apos;%1&apos; found</source>
        <translation>[imageToNumericType()] Ожидалось целое значение, получено &apos;%1&apos;</translation>
    </message>
    <message>
        <source>[imageToNumericType()] Expected float value but &apos;%1&apos; found</source>
        <translation>[imageToNumericType()] Ожидалось вещественное значение, получено &apos;%1&apos;</translation>
    </message>
    <message>
        <source>[imageToNumericType()] Expected hex-value string of the even-value size, but found &apos;%1&apos;</source>
        <translation>[imageToNumericType()] Ожидалась шестнадцатеричная строка чётной длины, получено &apos;%1&apos;</translation>
    </message>
</context>
<context>
    <name>DampingRules</name>
    <message>
        <source>Cannot read the flap damping file %1: %2</source>
        <translation>Не удаётся прочитать файл подавления дребезга %1: %2</translation>
    </message>
    <message>
        <source>Not a flap damping file</source>
        <translation>Это не файл подавления дребезга (flapdamping)</translation>
    </message>
    <message>
        <source>Failed to read the flap damping file %1 at line %2: %3; flap damping is off</source>
        <translation>Ошибка чтения файла подавления дребезга %1 в строке %2: %3; подавление дребезга отключено</translation>
    </message>
    <message>
        <source>the state of a rule must be a number from -1 to 7, not &apos;%1&apos;</source>
        <translation>состояние в правиле должно быть числом от -1 до 7, а не &apos;%1&apos;</translation>
    </message>
    <message>
        <source>the hold of a rule must be a number of seconds from 0 to %1, not &apos;%2&apos;</source>
        <translation>выдержка в правиле должна быть числом секунд от 0 до %1, а не &apos;%2&apos;</translation>
    </message>
    <message>
        <source>the changes of a flapping rule must be a number from 1 to %1, not &apos;%2&apos;</source>
        <translation>число смен в правиле дребезга должно быть от 1 до %1, а не &apos;%2&apos;</translation>
    </message>
    <message>
        <source>the window of a flapping rule must be a number of seconds above 0 and at most %1, not &apos;%2&apos;</source>
        <translation>окно в правиле дребезга должно быть числом секунд больше 0 и не больше %1, а не &apos;%2&apos;</translation>
    </message>
</context>
<context>
    <name>Device</name>
    <message>
        <source>[populateDevice()] Device class &apos;%1&apos; is not found in class database</source>
        <translation>[populateDevice()] Класс устройств &apos;%1&apos; не найден в базе классов</translation>
    </message>
    <message>
        <source>[populateDevice()] Device class &apos;%1&apos; is NULL in class database</source>
        <translation>[populateDevice()] Класс устройств &apos;%1&apos; в базе классов пуст (NULL)</translation>
    </message>
    <message>
        <source>[DeviceDb::populateDevice()] Incorrect OID &apos;%1&apos; for %2:%3</source>
        <translation>[DeviceDb::populateDevice()] Неверный OID &apos;%1&apos; для %2:%3</translation>
    </message>
    <message>
        <source>Can&apos;t find base name param: %1. </source>
        <translation>Не найден базовый параметр: %1. </translation>
    </message>
    <message>
        <source>[devicePostProcessing()] %1</source>
        <translation>[devicePostProcessing()] %1</translation>
    </message>
    <message>
        <source>Can&apos;t find script argument &apos;%1&apos; for virtual param &apos;%2&apos; in device &apos;%3&apos;</source>
        <translation>Не найден аргумент скрипта &apos;%1&apos; виртуального параметра &apos;%2&apos; в устройстве &apos;%3&apos;</translation>
    </message>
    <message>
        <source>Null script argument &apos;%1&apos; for virtual param &apos;%2&apos; in device &apos;%3&apos;</source>
        <translation>Пустой аргумент скрипта &apos;%1&apos; виртуального параметра &apos;%2&apos; в устройстве &apos;%3&apos;</translation>
    </message>
</context>
<context>
    <name>DeviceClass</name>
    <message>
        <source>Param class &apos;%1&apos; already exists in device class &apos;%2&apos;.</source>
        <translation>Класс параметров &apos;%1&apos; уже есть в классе устройств &apos;%2&apos;.</translation>
    </message>
    <message>
        <source>Param class with name &apos;%1&apos; is not virtual</source>
        <translation>Класс параметров &apos;%1&apos; не является виртуальным</translation>
    </message>
    <message>
        <source>Virtual param class with name &apos;%1&apos; is already setted</source>
        <translation>Виртуальный класс параметров &apos;%1&apos; уже задан</translation>
    </message>
</context>
<context>
    <name>DeviceDb</name>
    <message>
        <source>[DeviceDb::createEmptyDevice()] Device class name is empty.</source>
        <translation>[DeviceDb::createEmptyDevice()] Имя класса устройств пусто.</translation>
    </message>
    <message>
        <source>[DeviceDb::createEmptyDevice()] Device class &apos;%1&apos; not found.</source>
        <translation>[DeviceDb::createEmptyDevice()] Класс устройств &apos;%1&apos; не найден.</translation>
    </message>
    <message>
        <source>[DeviceDb::createEmptyDevice()] Device &apos;%1&apos; already exists.</source>
        <translation>[DeviceDb::createEmptyDevice()] Устройство &apos;%1&apos; уже существует.</translation>
    </message>
    <message>
        <source>Can&apos;t create &apos;SERVICE&apos; device!!!</source>
        <translation>Невозможно создать устройство &apos;SERVICE&apos;!!!</translation>
    </message>
    <message>
        <source>[DeviceDb::createServiceDevice()] Can&apos;t find param &apos;root&apos;</source>
        <translation>[DeviceDb::createServiceDevice()] Не найден параметр &apos;root&apos;</translation>
    </message>
    <message>
        <source>[DeviceDb::getDevice()] Can&apos;t resolve Code0-class by code %1 (device code = %2)</source>
        <translation>[DeviceDb::getDevice()] Не удаётся определить класс Code0 по коду %1 (код устройства = %2)</translation>
    </message>
    <message>
        <source>[DeviceDb::getDevice()] Can&apos;t resolve Device-class by code %1 (device code = %2)</source>
        <translation>[DeviceDb::getDevice()] Не удаётся определить класс устройства по коду %1 (код устройства = %2)</translation>
    </message>
    <message>
        <source>[DeviceDb::setParamCode()] Can&apos;t find prmName:%1 in param map</source>
        <translation>[DeviceDb::setParamCode()] Параметр prmName:%1 не найден в таблице параметров</translation>
    </message>
    <message>
        <source>[DeviceDb::setParamCode()] prmCode == %1. must be less then %2. Need to increase PARAM_MAX_COUNT const in paramlist</source>
        <translation>[DeviceDb::setParamCode()] prmCode == %1, а должен быть меньше %2. Нужно увеличить константу PARAM_MAX_COUNT в paramlist</translation>
    </message>
    <message>
        <source>[DeviceDb::setParamCode()] prmCode+arraySize-1 == %1. must be less then %2. Need to increase PARAM_MAX_COUNT const in paramlist</source>
        <translation>[DeviceDb::setParamCode()] prmCode+arraySize-1 == %1, а должно быть меньше %2. Нужно увеличить константу PARAM_MAX_COUNT в paramlist</translation>
    </message>
    <message>
        <source>[getParam()] param code must be less than %1 (need change PARAM_MAX_COUNT constant in paramlist)</source>
        <translation>[getParam()] код параметра должен быть меньше %1 (нужно изменить константу PARAM_MAX_COUNT в paramlist)</translation>
    </message>
    <message>
        <source>[getParam()] Can&apos;t resolve Param-class by code %1</source>
        <translation>[getParam()] Не удаётся определить класс параметра по коду %1</translation>
    </message>
    <message>
        <source>parametr &apos;%1&apos; is read</source>
        <translation>параметр &apos;%1&apos; прочитан</translation>
    </message>
    <message>
        <source>Unrecognizing encoding string was received: &apos;%1&apos;</source>
        <translation>Получена строка в нераспознанной кодировке: &apos;%1&apos;</translation>
    </message>
    <message>
        <source>String &apos;%1&apos; is not unsigned long value: </source>
        <translation>Строка &apos;%1&apos; не является беззнаковым целым: </translation>
    </message>
    <message>
        <source>String &apos;%1&apos; is not integer value: </source>
        <translation>Строка &apos;%1&apos; не является целым числом: </translation>
    </message>
    <message>
        <source>String &apos;%1&apos; is not float value: </source>
        <translation>Строка &apos;%1&apos; не является вещественным числом: </translation>
    </message>
    <message>
        <source>Scheduler preblocking failed. Parameter is not defined.</source>
        <translation>Предварительная блокировка планировщика не удалась: параметр не задан.</translation>
    </message>
    <message>
        <source>Scheduler is preblocked by &apos;%1&apos; parameter for %2 sec</source>
        <translation>Планировщик предварительно заблокирован параметром &apos;%1&apos; на %2 с</translation>
    </message>
    <message>
        <source>Scheduler is blocked (%2)</source>
        <translation>Планировщик заблокирован (%2)</translation>
    </message>
    <message>
        <source>Scheduler is enabled (%1)</source>
        <translation>Планировщик разблокирован (%1)</translation>
    </message>
    <message>
        <source>Terminal %1 is about to close</source>
        <translation>Терминал %1 закрывается</translation>
    </message>
    <message>
        <source>Timeout</source>
        <translation>Тайм-аут</translation>
    </message>
    <message>
        <source>SystemDevice::...Parsing(): message is empty.</source>
        <translation>SystemDevice::...Parsing(): сообщение пусто.</translation>
    </message>
    <message>
        <source>SystemDevice::...Parsing(): unexpected char &apos;%1&apos; in message &apos;%2&apos;.</source>
        <translation>SystemDevice::...Parsing(): неожиданный символ &apos;%1&apos; в сообщении &apos;%2&apos;.</translation>
    </message>
    <message>
        <source>SystemDevice::...Parsing(): redefining protocol in message &apos;%1&apos;.</source>
        <translation>SystemDevice::...Parsing(): повторное задание протокола в сообщении &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>SystemDevice::...Parsing(): Unknown protocol in message &apos;%1&apos;. Use &apos;tavo&apos;, &apos;</source>
        <translation>SystemDevice::...Parsing(): неизвестный протокол в сообщении &apos;%1&apos;. Используйте &apos;tavo&apos;, &apos;</translation>
    </message>
    <message>
        <source>SystemDevice::...Parsing(): unexpected end of message &apos;%2&apos;.</source>
        <translation>SystemDevice::...Parsing(): неожиданный конец сообщения &apos;%2&apos;.</translation>
    </message>
    <message>
        <source>SystemDevice::...Parsing(): create device sClassName = %1 tag =%2 baseTag = %3 devCode = %4</source>
        <translation>SystemDevice::...Parsing(): создание устройства sClassName = %1 tag =%2 baseTag = %3 devCode = %4</translation>
    </message>
    <message>
        <source>SystemDevice::...Parsing(): can&apos;t create device &apos;%1&apos; of class &apos;%2&apos; from message &apos;%3&apos;.</source>
        <translation>SystemDevice::...Parsing(): невозможно создать устройство &apos;%1&apos; класса &apos;%2&apos; по сообщению &apos;%3&apos;.</translation>
    </message>
</context>
<context>
    <name>Engine</name>
    <message>
        <source>Engine Socket</source>
        <translation>Сокет соединения</translation>
    </message>
    <message>
        <source>Engine Protocol</source>
        <translation>Протокол соединения</translation>
    </message>
    <message>
        <source>[Engine::connectToHost()] (%1) Try connect to %2:%3</source>
        <translation>[Engine::connectToHost()] (%1) Попытка соединения с %2:%3</translation>
    </message>
    <message>
        <source>Connect to server %1:%2. Variables list: %3</source>
        <translation>Соединение с сервером %1:%2. Переменные: %3</translation>
    </message>
    <message>
        <source>Disonnect from server %1:%2</source>
        <translation>Разрыв соединения с сервером %1:%2</translation>
    </message>
    <message>
        <source>An unidentified error occurred</source>
        <translation>Произошла неопознанная ошибка</translation>
    </message>
    <message>
        <source>The connection was refused by the peer (or timed out)</source>
        <translation>Удалённая сторона отказала в соединении (или истекло время ожидания)</translation>
    </message>
    <message>
        <source>The remote host closed the connection</source>
        <translation>Удалённый узел закрыл соединение</translation>
    </message>
    <message>
        <source>The host address was not found</source>
        <translation>Адрес узла не найден</translation>
    </message>
    <message>
        <source>The socket operation failed because the application lacked the required privileges</source>
        <translation>Операция с сокетом не выполнена: у приложения недостаточно прав</translation>
    </message>
    <message>
        <source>The local system ran out of resources (e.g., too many sockets)</source>
        <translation>В локальной системе закончились ресурсы (например, слишком много сокетов)</translation>
    </message>
    <message>
        <source>The socket operation timed out</source>
        <translation>Истекло время ожидания операции с сокетом</translation>
    </message>
    <message>
        <source>The datagram was larger than the operating system&apos;s limit (which can be as low as 8192 bytes)</source>
        <translation>Датаграмма превышает предел операционной системы (он может быть всего 8192 байта)</translation>
    </message>
    <message>
        <source>An error occurred with the network (e.g., the network cable was accidentally plugged out)</source>
        <translation>Ошибка сети (например, отсоединён сетевой кабель)</translation>
    </message>
    <message>
        <source>The address specified to QUdpSocket::bind() is already in use and was set to be exclusive</source>
        <translation>Адрес, переданный QUdpSocket::bind(), уже занят в исключительном режиме</translation>
    </message>
    <message>
        <source>The address specified to QUdpSocket::bind() does not belong to the host</source>
        <translation>Адрес, переданный QUdpSocket::bind(), не принадлежит этому узлу</translation>
    </message>
    <message>
        <source>The requested socket operation is not supported by the local operating system (e.g., lack of IPv6 support)</source>
        <translation>Запрошенная операция с сокетом не поддерживается локальной операционной системой (например, нет поддержки IPv6)</translation>
    </message>
    <message>
        <source>Used by QAbstractSocketEngine only, The last operation attempted has not finished yet (still in progress in the background)</source>
        <translation>Только для QAbstractSocketEngine: последняя операция ещё не завершена (выполняется в фоне)</translation>
    </message>
    <message>
        <source>The socket is using a proxy, and the proxy requires authentication</source>
        <translation>Сокет работает через прокси, и прокси требует аутентификации</translation>
    </message>
    <message>
        <source>The SSL/TLS handshake failed, so the connection was closed (only used in QSslSocket)</source>
        <translation>Согласование SSL/TLS не удалось, соединение закрыто (только для QSslSocket)</translation>
    </message>
    <message>
        <source>Undocumented error. May be was compiled under another version of Qt4x library</source>
        <translation>Недокументированная ошибка. Возможно, программа собрана с другой версией библиотеки Qt</translation>
    </message>
    <message>
        <source>Socket error: %1</source>
        <translation>Ошибка сокета: %1</translation>
    </message>
    <message>
        <source>slotSocketReadyRead(): received - &apos;%1&apos;</source>
        <translation>slotSocketReadyRead(): получено - &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Server is absent for %1 ms. Force disconnect.</source>
        <translation>Сервер не отвечает %1 мс. Принудительный разрыв соединения.</translation>
    </message>
    <message>
        <source>Too large data block: %1 bytes. Sent only %2 bytes.</source>
        <translation>Слишком большой блок данных: %1 байт. Отправлено только %2 байт.</translation>
    </message>
    <message>
        <source>Data block of %1 bytes dropped: the socket can&apos;t send it</source>
        <translation>Блок данных из %1 байт отброшен: сокет не может его отправить</translation>
    </message>
</context>
<context>
    <name>EngineBox</name>
    <message>
        <source>Engine has created. Protocol &apos;%1&apos; used.</source>
        <translation>Соединение создано. Используется протокол &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>[EngineBox::deleteEngine] Engine by key &apos;%1&apos; is NULL</source>
        <translation>[EngineBox::deleteEngine] Соединение с ключом &apos;%1&apos; отсутствует (NULL)</translation>
    </message>
    <message>
        <source>[EngineBox::findBrokerByUnreliableBrokerIndex] Engine by key &apos;%1&apos; is NULL</source>
        <translation>[EngineBox::findBrokerByUnreliableBrokerIndex] Соединение с ключом &apos;%1&apos; отсутствует (NULL)</translation>
    </message>
    <message>
        <source>[EngineBox::slotTerminalIsAboutToClose] No engine for the host key &apos;%1&apos;: the blocks of terminal %2 stay</source>
        <translation>[EngineBox::slotTerminalIsAboutToClose] Нет соединения для ключа узла &apos;%1&apos;: блокировки терминала %2 остаются</translation>
    </message>
</context>
<context>
    <name>EventMonitor</name>
    <message>
        <source>[EventMonitor] No e-mail sender is configured: the notice to %1 is not sent</source>
        <translation>[EventMonitor] Отправка электронной почты не настроена: уведомление для %1 не отправлено</translation>
    </message>
    <message>
        <source>[EventMonitor] No SMS sender is configured: the notice to %1 is not sent</source>
        <translation>[EventMonitor] Отправка SMS не настроена: уведомление для %1 не отправлено</translation>
    </message>
    <message>
        <source>[EventMonitor]: Device name: %1, Param name: %2, State: %3, Actions: %4</source>
        <translation>[EventMonitor]: Устройство: %1, параметр: %2, состояние: %3, действия: %4</translation>
    </message>
</context>
<context>
    <name>FlapDamper</name>
    <message>
        <source>[FlapDamper] The alarm reactions are not connected to the alarm monitor directly; flap damping is not installed</source>
        <translation>[FlapDamper] Реакции на аварии не подключены к монитору аварий напрямую; подавление дребезга не установлено</translation>
    </message>
    <message>
        <source>[FlapDamper] Flap damping is on: %1 hold rules and %2 flapping rules</source>
        <translation>[FlapDamper] Подавление дребезга включено: правил выдержки %1, правил дребезга %2</translation>
    </message>
    <message>
        <source>[FlapDamper] Device %1, param %2 is flapping</source>
        <translation>[FlapDamper] Устройство %1, параметр %2: дребезг состояния</translation>
    </message>
    <message>
        <source>[FlapDamper] Device %1, param %2 stopped flapping in state %3</source>
        <translation>[FlapDamper] Устройство %1, параметр %2: дребезг прекратился, состояние %3</translation>
    </message>
</context>
<context>
    <name>HostGraph</name>
    <message>
        <source>[HostGraph::createHost()] Key %1 already exists.</source>
        <translation>[HostGraph::createHost()] Ключ %1 уже существует.</translation>
    </message>
    <message>
        <source>[HostGraph::createHost()] Protocol &apos;%1&apos; does not exists.</source>
        <translation>[HostGraph::createHost()] Протокол &apos;%1&apos; не существует.</translation>
    </message>
    <message>
        <source>[HostGraph::saveToFile()] Can&apos;t write file %1: %2</source>
        <translation>[HostGraph::saveToFile()] Не удаётся записать файл %1: %2</translation>
    </message>
    <message>
        <source>Host graph has successfully written to file %1</source>
        <translation>Граф узлов успешно записан в файл %1</translation>
    </message>
    <message>
        <source>[HostGraph::loadFromFile()] File not found: %1</source>
        <translation>[HostGraph::loadFromFile()] Файл не найден: %1</translation>
    </message>
    <message>
        <source>[HostGraph::loadFromFile()] File %1 is too large: %2 bytes, at most %3 are read</source>
        <translation>[HostGraph::loadFromFile()] Файл %1 слишком велик: %2 байт, читается не более %3</translation>
    </message>
    <message>
        <source>[HostGraph::loadFromFile()] Can&apos;t read file %1: %2</source>
        <translation>[HostGraph::loadFromFile()] Не удаётся прочитать файл %1: %2</translation>
    </message>
    <message>
        <source>[HostGraph::loadFromFile()] File %1 is not valid %2 text</source>
        <translation>[HostGraph::loadFromFile()] Файл %1 не является корректным текстом в кодировке %2</translation>
    </message>
</context>
<context>
    <name>HostTypeDb</name>
    <message>
        <source>[HostTypeDb::loadDir()] Directory &apos;%1&apos; is not exits</source>
        <translation>[HostTypeDb::loadDir()] Каталог &apos;%1&apos; не существует</translation>
    </message>
    <message>
        <source>[HostTypeDb::loadDir()] Check directory &apos;%1&apos; for the hosts database</source>
        <translation>[HostTypeDb::loadDir()] Просмотр каталога &apos;%1&apos; базы типов узлов</translation>
    </message>
</context>
<context>
    <name>ObservedBoardParser</name>
    <message>
        <source>Cannot read file %1: %2.</source>
        <translation>Не удаётся прочитать файл %1: %2.</translation>
    </message>
    <message>
        <source>Not a observer_list file</source>
        <translation>Это не файл наблюдаемого табло (observer_list)</translation>
    </message>
    <message>
        <source>Failed to parse file %1: %2</source>
        <translation>Ошибка разбора файла %1: %2</translation>
    </message>
</context>
<context>
    <name>OpenFilesLimit</name>
    <message>
        <source>The process may open %1 files (the system allows at most %2): about %3 of the %4 hosts can be connected at once. Raise the hard limit of open files (ulimit -Hn, limits.conf) to watch them all.</source>
        <translation>Процесс может открыть %1 файлов (система допускает не более %2): одновременно можно подключить около %3 из %4 узлов. Чтобы наблюдать их все, поднимите жёсткий предел открытых файлов (ulimit -Hn, limits.conf).</translation>
    </message>
</context>
<context>
    <name>Param</name>
    <message>
        <source>[setReadStringValue()] invalid input data - string decoding error</source>
        <translation>[setReadStringValue()] неверные входные данные - ошибка декодирования строки</translation>
    </message>
    <message>
        <source>[setReadStatValue()] param_count must be greater than 0 param %1</source>
        <translation>[setReadStatValue()] param_count должен быть больше 0, параметр %1</translation>
    </message>
    <message>
        <source>Script for param &apos;%1&apos; error: &apos;%2&apos; for &apos;%3&apos;</source>
        <translation>Ошибка скрипта параметра &apos;%1&apos;: &apos;%2&apos; в &apos;%3&apos;</translation>
    </message>
    <message>
        <source>Script for param &apos;%1&apos; returns NULL value string: %2</source>
        <translation>Скрипт параметра &apos;%1&apos; вернул пустую строку: %2</translation>
    </message>
    <message>
        <source>Script for param &apos;%1&apos; returns not integer value string (%2): &apos;%3&apos;</source>
        <translation>Скрипт параметра &apos;%1&apos; вернул не целое значение (%2): &apos;%3&apos;</translation>
    </message>
</context>
<context>
    <name>ParamCore</name>
    <message>
        <source>Alarm script of parameter &apos;%1&apos; fails (%2): its state is EMERG until it works</source>
        <translation>Аварийный скрипт параметра &apos;%1&apos; не выполняется (%2): состояние EMERG, пока скрипт не заработает</translation>
    </message>
    <message>
        <source>radix invalid</source>
        <translation>неверное основание системы счисления</translation>
    </message>
    <message>
        <source>: file not found</source>
        <translation>: файл не найден</translation>
    </message>
    <message>
        <source>[gwps_2] presentation error</source>
        <translation>[gwps_2] ошибка представления</translation>
    </message>
</context>
<context>
    <name>ProtocolManager</name>
    <message>
        <source>[ProtocolManager::loadPlugins()] Check directory &apos;%1&apos; for the protocols list</source>
        <translation>[ProtocolManager::loadPlugins()] Просмотр каталога &apos;%1&apos; списка протоколов</translation>
    </message>
    <message>
        <source>Can&apos;t resolve instance: %1</source>
        <translation>Не удаётся получить экземпляр: %1</translation>
    </message>
    <message>
        <source>The plug-in &apos;%1&apos; is not a protocol: its object can&apos;t be cast to IProtocol</source>
        <translation>Модуль &apos;%1&apos; не является протоколом: его объект не приводится к IProtocol</translation>
    </message>
    <message>
        <source>Loaded %1 protocols</source>
        <translation>Загружено протоколов: %1</translation>
    </message>
</context>
<context>
    <name>SaxClassParser</name>
    <message>
        <source>Class database object is not set for parsing</source>
        <translation>Для разбора не задан объект базы классов</translation>
    </message>
    <message>
        <source>Parsing for &apos;%1&apos; is done successfull</source>
        <translation>Разбор &apos;%1&apos; успешно завершён</translation>
    </message>
    <message>
        <source>Unexpected tag &apos;%1&apos; in file &apos;%2&apos;</source>
        <translation>Неожиданный тег &apos;%1&apos; в файле &apos;%2&apos;</translation>
    </message>
    <message>
        <source>Unknown tag &apos;%1&apos; in file &apos;%2&apos;</source>
        <translation>Неизвестный тег &apos;%1&apos; в файле &apos;%2&apos;</translation>
    </message>
    <message>
        <source>Attribute &apos;name&apos; is absent for &apos;class&apos; tag in &apos;%1&apos;</source>
        <translation>У тега &apos;class&apos; нет атрибута &apos;name&apos; в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Attribute &apos;interface&apos; is absent for &apos;class&apos; tag in &apos;%1&apos;</source>
        <translation>У тега &apos;class&apos; нет атрибута &apos;interface&apos; в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Invalid &apos;oid&apos; attribute for &apos;class&apos; tag in &apos;%1&apos;: %2</source>
        <translation>Неверный атрибут &apos;oid&apos; тега &apos;class&apos; в &apos;%1&apos;: %2</translation>
    </message>
    <message>
        <source>Attribute &apos;name&apos; is absent for &apos;param&apos; tag in &apos;%1&apos;</source>
        <translation>У тега &apos;param&apos; нет атрибута &apos;name&apos; в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Attribute &apos;bit&apos; absent for &apos;basename&apos; attribute in &apos;%1&apos;</source>
        <translation>При атрибуте &apos;basename&apos; отсутствует атрибут &apos;bit&apos; в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Attribute &apos;bit&apos; is not integer value in &apos;%1&apos;</source>
        <translation>Атрибут &apos;bit&apos; не является целым числом в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Attribute &apos;bit&apos; must be &gt;= 0 in &apos;%1&apos;</source>
        <translation>Атрибут &apos;bit&apos; должен быть &gt;= 0 в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Attribute &apos;dim&apos; is not integer value in &apos;%1&apos;</source>
        <translation>Атрибут &apos;dim&apos; не является целым числом в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Attribute &apos;dim&apos; must be &gt;= 1 in &apos;%1&apos;</source>
        <translation>Атрибут &apos;dim&apos; должен быть &gt;= 1 в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Sum &apos;dim + bit &gt; 32&apos; is impossible case in &apos;%1&apos;.</source>
        <translation>Сумма &apos;dim + bit &gt; 32&apos; недопустима в &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>Attribute &apos;type&apos; is invalid (%1) in &apos;%2&apos;</source>
        <translation>Неверный атрибут &apos;type&apos; (%1) в &apos;%2&apos;</translation>
    </message>
    <message>
        <source>Attribute &apos;name&apos; is absent for &apos;reference&apos; tag in &apos;%1&apos;</source>
        <translation>У тега &apos;reference&apos; нет атрибута &apos;name&apos; в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Attribute &apos;target_class&apos; is absent for &apos;reference&apos; tag in &apos;%1&apos;</source>
        <translation>У тега &apos;reference&apos; нет атрибута &apos;target_class&apos; в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Attribute &apos;target_param&apos; is absent for &apos;reference&apos; tag in &apos;%1&apos;</source>
        <translation>У тега &apos;reference&apos; нет атрибута &apos;target_param&apos; в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Attribute &apos;name&apos; is absent for &apos;alias&apos; tag in &apos;%1&apos;</source>
        <translation>У тега &apos;alias&apos; нет атрибута &apos;name&apos; в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Attribute &apos;name&apos; is absent for &apos;vparam&apos; tag in &apos;%1&apos;</source>
        <translation>У тега &apos;vparam&apos; нет атрибута &apos;name&apos; в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Attribute &apos;id&apos; is absent for &apos;arg&apos; tag in &apos;%1&apos;</source>
        <translation>У тега &apos;arg&apos; нет атрибута &apos;id&apos; в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Attribute &apos;param&apos; is absent for &apos;arg&apos; tag in &apos;%1&apos;</source>
        <translation>У тега &apos;arg&apos; нет атрибута &apos;param&apos; в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Script engine is not set to check the script of param &apos;%1&apos; in &apos;%2&apos;</source>
        <translation>Не задан обработчик скриптов для проверки скрипта параметра &apos;%1&apos; в &apos;%2&apos;</translation>
    </message>
    <message>
        <source>Script &apos;%1&apos; for param &apos;%2&apos; in &apos;%3&apos; : %4.</source>
        <translation>Скрипт &apos;%1&apos; параметра &apos;%2&apos; в &apos;%3&apos; : %4.</translation>
    </message>
    <message>
        <source>Unrecognize access value &apos;%1&apos; in &apos;%2&apos;</source>
        <translation>Нераспознанное значение доступа &apos;%1&apos; в &apos;%2&apos;</translation>
    </message>
    <message>
        <source>&apos;variants&apos; tag has no value list</source>
        <translation>У тега &apos;variants&apos; нет списка значений</translation>
    </message>
    <message>
        <source>&apos;variants&apos; tag has invalid item - &apos;%1&apos;</source>
        <translation>Тег &apos;variants&apos; содержит неверный элемент - &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Expected unsigned integer value in &apos;variants&apos; tag, but found - &apos;%1&apos;</source>
        <translation>В теге &apos;variants&apos; ожидалось беззнаковое целое, получено - &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Expected integer value in &apos;variants&apos; tag, but found - &apos;%1&apos;</source>
        <translation>В теге &apos;variants&apos; ожидалось целое, получено - &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Expected float value in &apos;variants&apos; tag, but found - &apos;%1&apos;</source>
        <translation>В теге &apos;variants&apos; ожидалось вещественное число, получено - &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Tag &apos;variants&apos; match for numeric types only</source>
        <translation>Тег &apos;variants&apos; допустим только для числовых типов</translation>
    </message>
    <message>
        <source>&apos;human_name&apos; tag has empty value in &apos;%1&apos;</source>
        <translation>Тег &apos;human_name&apos; пуст в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>&apos;info&apos; tag has empty value in &apos;%1&apos;</source>
        <translation>Тег &apos;info&apos; пуст в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Script is empty for param &apos;%1&apos; in &apos;%2&apos;</source>
        <translation>Пустой скрипт у параметра &apos;%1&apos; в &apos;%2&apos;</translation>
    </message>
    <message>
        <source>[SaxClassParser::] Can&apos;t append device class &apos;%1&apos;. File &apos;%2&apos;</source>
        <translation>[SaxClassParser::] Невозможно добавить класс устройств &apos;%1&apos;. Файл &apos;%2&apos;</translation>
    </message>
    <message>
        <source>Can&apos;t append param &apos;%1&apos;. File &apos;%2&apos;</source>
        <translation>Невозможно добавить параметр &apos;%1&apos;. Файл &apos;%2&apos;</translation>
    </message>
    <message>
        <source>Can&apos;t set virtual param class &apos;%1&apos;. File &apos;%2&apos;</source>
        <translation>Невозможно задать виртуальный класс параметров &apos;%1&apos;. Файл &apos;%2&apos;</translation>
    </message>
</context>
<context>
    <name>SaxHostGraphParser</name>
    <message>
        <source>Unexpected tag &apos;%1&apos; in file &apos;%2&apos;</source>
        <translation>Неожиданный тег &apos;%1&apos; в файле &apos;%2&apos;</translation>
    </message>
    <message>
        <source>Unknown tag &apos;%1&apos; in file &apos;%2&apos;</source>
        <translation>Неизвестный тег &apos;%1&apos; в файле &apos;%2&apos;</translation>
    </message>
    <message>
        <source>HostGraph object is not set for parsing</source>
        <translation>Для разбора не задан объект графа узлов</translation>
    </message>
    <message>
        <source>Parsing for &apos;%1&apos; is done successfull</source>
        <translation>Разбор &apos;%1&apos; успешно завершён</translation>
    </message>
    <message>
        <source>Attribute &apos;key&apos; is absent for &apos;folder&apos; tag in &apos;%1&apos;</source>
        <translation>У тега &apos;folder&apos; нет атрибута &apos;key&apos; в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Folder attribute &apos;key&apos; is not integer value in &apos;%1&apos;</source>
        <translation>Атрибут &apos;key&apos; папки не является целым числом в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Folder attribute &apos;key&apos; must be &gt; 0 in &apos;%1&apos;</source>
        <translation>Атрибут &apos;key&apos; папки должен быть &gt; 0 в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Attribute &apos;key&apos; is absent for &apos;host&apos; tag in &apos;%1&apos;</source>
        <translation>У тега &apos;host&apos; нет атрибута &apos;key&apos; в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Node attribute &apos;key&apos; is not integer value in &apos;%1&apos;</source>
        <translation>Атрибут &apos;key&apos; узла не является целым числом в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Node attribute &apos;key&apos; must be &gt; 0 in &apos;%1&apos;</source>
        <translation>Атрибут &apos;key&apos; узла должен быть &gt; 0 в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Attribute &apos;parent&apos; is absent for &apos;link&apos; tag in &apos;%1&apos;</source>
        <translation>У тега &apos;link&apos; нет атрибута &apos;parent&apos; в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Link attribute &apos;parent_key&apos; is not integer value in &apos;%1&apos;</source>
        <translation>Атрибут &apos;parent_key&apos; ссылки не является целым числом в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Link attribute &apos;parent_key&apos; must be &gt; 0 in &apos;%1&apos;</source>
        <translation>Атрибут &apos;parent_key&apos; ссылки должен быть &gt; 0 в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Attribute &apos;alias&apos; is absent for &apos;link&apos; tag in &apos;%1&apos;</source>
        <translation>У тега &apos;link&apos; нет атрибута &apos;alias&apos; в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Attribute &apos;autoconnect&apos; is absent for &apos;url&apos; tag in &apos;%1&apos;</source>
        <translation>У тега &apos;url&apos; нет атрибута &apos;autoconnect&apos; в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Link attribute &apos;autoconnect&apos; is not integer value in &apos;%1&apos;</source>
        <translation>Атрибут &apos;autoconnect&apos; не является целым числом в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Attribute &apos;name&apos; is absent for &apos;var&apos; tag in &apos;%1&apos;</source>
        <translation>У тега &apos;var&apos; нет атрибута &apos;name&apos; в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Undefined state for characters (&apos;%1&apos;) call in file &apos;%2&apos;</source>
        <translation>Неопределённое состояние при вызове characters (&apos;%1&apos;) в файле &apos;%2&apos;</translation>
    </message>
    <message>
        <source>&apos;parent_key&apos; tag has empty value in &apos;%1&apos;</source>
        <translation>Тег &apos;parent_key&apos; пуст в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>&apos;parent_key&apos; tag has not integer value (&apos;%1&apos;) in &apos;%2&apos;</source>
        <translation>Тег &apos;parent_key&apos; содержит не целое значение (&apos;%1&apos;) в &apos;%2&apos;</translation>
    </message>
    <message>
        <source>&apos;parent_key&apos; value must be &gt;0 in &apos;%1&apos;</source>
        <translation>Значение &apos;parent_key&apos; должно быть &gt;0 в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>&apos;alias&apos; tag has empty value in &apos;%1&apos;</source>
        <translation>Тег &apos;alias&apos; пуст в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>&apos;url&apos; tag has empty value in &apos;%1&apos;</source>
        <translation>Тег &apos;url&apos; пуст в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>&apos;port&apos; tag has empty value in &apos;%1&apos;</source>
        <translation>Тег &apos;port&apos; пуст в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Invalid port: &apos;%1&apos;</source>
        <translation>Неверный порт: &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Invalid port: &apos;%1&apos;. Must be in range [0..65535]</source>
        <translation>Неверный порт: &apos;%1&apos;. Допустимый диапазон [0..65535]</translation>
    </message>
    <message>
        <source>&apos;type&apos; tag has empty value in &apos;%1&apos;</source>
        <translation>Тег &apos;type&apos; пуст в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>&apos;protocol&apos; tag has empty value in &apos;%1&apos;</source>
        <translation>Тег &apos;protocol&apos; пуст в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>&apos;config_file&apos; tag has empty value in &apos;%1&apos;</source>
        <translation>Тег &apos;config_file&apos; пуст в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Folder &apos;parent_key&apos; is undefined in &apos;%1&apos;</source>
        <translation>У папки не задан &apos;parent_key&apos; в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Folder &apos;alias&apos; tag has empty value in &apos;%1&apos;</source>
        <translation>Тег &apos;alias&apos; папки пуст в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Can&apos;t create folder with key &apos;%1&apos; in file &apos;%2&apos;</source>
        <translation>Невозможно создать папку с ключом &apos;%1&apos; из файла &apos;%2&apos;</translation>
    </message>
    <message>
        <source>Link is undefined in &apos;%1&apos;</source>
        <translation>Не задана ссылка (link) в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Host URL is null in &apos;%1&apos;</source>
        <translation>Не задан URL узла в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Host port is undefined in &apos;%1&apos;</source>
        <translation>Не задан порт узла в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Host type is undefined in &apos;%1&apos;</source>
        <translation>Не задан тип узла в &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Can&apos;t create node &apos;%1&apos; in file &apos;%2&apos;</source>
        <translation>Невозможно создать узел &apos;%1&apos; из файла &apos;%2&apos;</translation>
    </message>
</context>
<context>
    <name>SaxHostTypeParser</name>
    <message>
        <source>Unexpected tag &apos;%1&apos; in file &apos;%2&apos;</source>
        <translation>Неожиданный тег &apos;%1&apos; в файле &apos;%2&apos;</translation>
    </message>
    <message>
        <source>Nodetype database object is not set for parsing</source>
        <translation>Для разбора не задан объект базы типов узлов</translation>
    </message>
    <message>
        <source>Parsing for &apos;%1&apos; is done successfull</source>
        <translation>Разбор &apos;%1&apos; успешно завершён</translation>
    </message>
    <message>
        <source>Nodetype name is absent</source>
        <translation>Отсутствует имя типа узла</translation>
    </message>
    <message>
        <source>Unknown tag &apos;%1&apos; in file &apos;%2&apos;</source>
        <translation>Неизвестный тег &apos;%1&apos; в файле &apos;%2&apos;</translation>
    </message>
    <message>
        <source>Nodetype &apos;%1&apos; already exists in file &apos;%2&apos;</source>
        <translation>Тип узла &apos;%1&apos; уже существует (файл &apos;%2&apos;)</translation>
    </message>
    <message>
        <source>&apos;device&apos; tag has empty value in &apos;%1&apos;</source>
        <translation>Тег &apos;device&apos; пуст в &apos;%1&apos;</translation>
    </message>
</context>
<context>
    <name>SaxTemplateParser</name>
    <message>
        <source>Failed to parse file %1: %2</source>
        <translation>Ошибка разбора файла %1: %2</translation>
    </message>
    <message>
        <source>Cannot read file %1: %2.</source>
        <translation>Не удаётся прочитать файл %1: %2.</translation>
    </message>
    <message>
        <source>Not a template file</source>
        <translation>Это не файл шаблона</translation>
    </message>
</context>
<context>
    <name>SaxUserListParser</name>
    <message>
        <source>Unexpected tag &apos;%1&apos; in file &apos;%2&apos;</source>
        <translation>Неожиданный тег &apos;%1&apos; в файле &apos;%2&apos;</translation>
    </message>
    <message>
        <source>Unknown tag &apos;%1&apos; in file &apos;%2&apos;</source>
        <translation>Неизвестный тег &apos;%1&apos; в файле &apos;%2&apos;</translation>
    </message>
    <message>
        <source>User Capabilities object is not set for parsing</source>
        <translation>Для разбора не задан объект прав пользователей</translation>
    </message>
    <message>
        <source>Parsing for &apos;%1&apos; is done successfull</source>
        <translation>Разбор &apos;%1&apos; успешно завершён</translation>
    </message>
    <message>
        <source>Undefined state for characters (&apos;%1&apos;) call in file &apos;%2&apos;</source>
        <translation>Неопределённое состояние при вызове characters (&apos;%1&apos;) в файле &apos;%2&apos;</translation>
    </message>
    <message>
        <source>&apos;permission&apos; tag has empty value for user &apos;%1&apos; in &apos;%2&apos;</source>
        <translation>Тег &apos;permission&apos; пуст у пользователя &apos;%1&apos; в &apos;%2&apos;</translation>
    </message>
</context>
<context>
    <name>UserCapabilities</name>
    <message>
        <source>Administrator</source>
        <translation>Администратор</translation>
    </message>
    <message>
        <source>--Undefined--</source>
        <translation>--Не задан--</translation>
    </message>
</context>
<context>
    <name>XmlReader</name>
    <message>
        <source>Error [%1, %2]: %3 (file %4)</source>
        <translation>Ошибка [%1, %2]: %3 (файл %4)</translation>
    </message>
    <message>
        <source>File %1 is not valid %2 text: %3 characters are replaced</source>
        <translation>Файл %1 не является корректным текстом в кодировке %2: заменено символов: %3</translation>
    </message>
    <message>
        <source>File %1 names the unknown encoding &apos;%2&apos;</source>
        <translation>В файле %1 указана неизвестная кодировка &apos;%2&apos;</translation>
    </message>
    <message>
        <source>File %1 declares XML version &apos;%2&apos;; it is read as XML 1.0</source>
        <translation>В файле %1 объявлена версия XML &apos;%2&apos;; он читается как XML 1.0</translation>
    </message>
    <message>
        <source>Elements nested deeper than %1 levels</source>
        <translation>Вложенность элементов глубже %1 уровней</translation>
    </message>
</context>
<context>
    <name>XmlResources</name>
    <message>
        <source>File not found: %1</source>
        <translation>Файл не найден: %1</translation>
    </message>
    <message>
        <source>Can&apos;t open file &apos;%1&apos;: %2</source>
        <translation>Не удаётся открыть файл &apos;%1&apos;: %2</translation>
    </message>
</context>
<context>
    <name>HistoryStore</name>
    <message>
        <source>the quick check answered &apos;%1&apos;</source>
        <translation>быстрая проверка ответила &apos;%1&apos;</translation>
    </message>
    <message>
        <source>the write-ahead log cannot be enabled: %1</source>
        <translation>не удаётся включить журнал упреждающей записи: %1</translation>
    </message>
    <message>
        <source>the schema version &apos;%1&apos; is not a number</source>
        <translation>версия схемы &apos;%1&apos; не является числом</translation>
    </message>
    <message>
        <source>[HistoryStore::open()] Cannot create the directory of the history database &apos;%1&apos;.</source>
        <translation>[HistoryStore::open()] Не удаётся создать каталог базы истории &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>[HistoryStore::open()] Cannot move the history database &apos;%1&apos; aside.</source>
        <translation>[HistoryStore::open()] Не удаётся отложить в сторону базу истории &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>[HistoryStore::open()] The history database &apos;%1&apos; has schema version %2, newer than version %3 that this program knows; it was moved to &apos;%4&apos; and a new one is created.</source>
        <translation>[HistoryStore::open()] База истории &apos;%1&apos; имеет версию схемы %2, более новую, чем известная этой программе версия %3; она перемещена в &apos;%4&apos;, создаётся новая.</translation>
    </message>
    <message>
        <source>[HistoryStore::open()] The history database &apos;%1&apos; cannot be used (%2); it was moved to &apos;%3&apos; and a new one is created.</source>
        <translation>[HistoryStore::open()] Базу истории &apos;%1&apos; нельзя использовать (%2); она перемещена в &apos;%3&apos;, создаётся новая.</translation>
    </message>
    <message>
        <source>[HistoryStore::open()] Cannot open the history database &apos;%1&apos;: %2</source>
        <translation>[HistoryStore::open()] Не удаётся открыть базу истории &apos;%1&apos;: %2</translation>
    </message>
    <message>
        <source>[HistoryStore::open()] &apos;%1&apos; is not a PostgreSQL address of the form postgresql://user@host:port/database.</source>
        <translation>[HistoryStore::open()] &apos;%1&apos; не является адресом PostgreSQL вида postgresql://user@host:port/database.</translation>
    </message>
    <message>
        <source>[HistoryStore::open()] The SQL driver %1 is not available.</source>
        <translation>[HistoryStore::open()] Драйвер SQL %1 недоступен.</translation>
    </message>
    <message>
        <source>its schema version %1 is newer than version %2 that this program knows</source>
        <translation>её версия схемы %1 новее, чем известная этой программе версия %2</translation>
    </message>
    <message>
        <source>[HistoryStore] The history is written to &apos;%1&apos; again.</source>
        <translation>[HistoryStore] История снова записывается в &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>[HistoryStore] Cannot write the history to &apos;%1&apos;: %2</source>
        <translation>[HistoryStore] Не удаётся записать историю в &apos;%1&apos;: %2</translation>
    </message>
    <message>
        <source>[HistoryStore] The history queue is full (%1 records); new records are dropped until it is written.</source>
        <translation>[HistoryStore] Очередь истории заполнена (%1 записей); новые записи отбрасываются, пока она не будет записана.</translation>
    </message>
    <message>
        <source>[HistoryStore::query()] Cannot read the history from &apos;%1&apos;: %2</source>
        <translation>[HistoryStore::query()] Не удаётся прочитать историю из &apos;%1&apos;: %2</translation>
    </message>
    <message>
        <source>[HistoryStore::acknowledge()] The history database is not open.</source>
        <translation>[HistoryStore::acknowledge()] База истории не открыта.</translation>
    </message>
    <message>
        <source>[HistoryStore::acknowledge()] Cannot acknowledge the alarm %1: %2</source>
        <translation>[HistoryStore::acknowledge()] Не удаётся квитировать аварию %1: %2</translation>
    </message>
    <message>
        <source>[HistoryStore::acknowledge()] There is no active alarm %1.</source>
        <translation>[HistoryStore::acknowledge()] Активной аварии %1 нет.</translation>
    </message>
    <message>
        <source>[HistoryStore::removeExpiredStep()] Cannot remove expired records from &apos;%1&apos;: %2</source>
        <translation>[HistoryStore::removeExpiredStep()] Не удаётся удалить устаревшие записи из &apos;%1&apos;: %2</translation>
    </message>
</context>
</TS>
