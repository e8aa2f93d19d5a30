#pragma once

// Umbrella header of libtavo_kernel: every public header of the library.

#include "tavo_kernel_export.h"

// Kernel foundation
#include "foundation/abstractlog.h"
#include "foundation/app_shared.h"
#include "foundation/safe_text.h"
#include "foundation/tavo_global_namespace.h"
#include "foundation/z4utils.h"
#include "foundation/zutils.h"
#include "foundation/zvector.h"

// Class database
#include "classes/class_db.h"
#include "classes/device_class.h"
#include "classes/sax_class_parser.h"

// Devices and parameters
#include "devices/db_entity.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"

// Connections and protocols
#include "connections/adapter.h"
#include "connections/engine.h"
#include "connections/engine_box.h"
#include "connections/i_protocol.h"
#include "connections/i_terminal.h"
#include "connections/protocol.h"
#include "connections/protocol_data_unit.h"
#include "connections/protocol_manager.h"

// Host graph
#include "hostgraph/host_graph.h"
#include "hostgraph/sax_host_graph_parser.h"

// Host types
#include "hosttypes/host_type_db.h"
#include "hosttypes/sax_host_type_parser.h"

// Alarms and events
#include "alarms/alarm_action.h"
#include "alarms/alarm_notifier.h"
#include "alarms/alarminfo.h"
#include "alarms/alarmmonitor.h"
#include "alarms/eventmonitor.h"
#include "alarms/sax_action_list_parser.h"

// Alarm history
#include "history/damping_rules.h"
#include "history/flap_damper.h"
#include "history/history_record.h"
#include "history/history_recorder.h"
#include "history/history_store.h"

// Users
#include "users/sax_user_list_parser.h"
#include "users/user_capabilities.h"

// Archives
#include "archives/zip_utils.h"

// Templates and profiles
#include "board/boardcontroller.h"
#include "templates/action_box.h"
#include "templates/sax_template_parser.h"
