#pragma once
// Unit IBSystemActions: the service control and the configuration-file operations of the
// cache-pages update, each in the folder of its concern.

#include "app/configfiles/ConfigFiles.h"
#include "app/services/ServiceControl.h"
