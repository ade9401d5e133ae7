#include "command_line/line_options.h"

namespace vantorel::command_line {

void AddLineOptions(std::vector<CommandOption>& options, LineChoices& choices) {
    options.push_back({"--mqtt", "URL",
                       "publish to the line's MQTT broker: mqtt://host:port, or\n"
                       "mqtts://host:port for TLS; a user and password come from\n"
                       "[mqtt] user= and password= in the settings file",
                       [&choices](const std::string& value) {
                           choices.mqttUrl = value;
                           return RefusedUnless(!value.empty(), "mqtt://host:port");
                       }});
    options.push_back({"--station-id", "NAME",
                       "this station's name in the broker's topics, vantorel/NAME/...\n"
                       "(default: the host name)",
                       [&choices](const std::string& value) {
                           choices.stationId = value;
                           return RefusedUnless(!value.empty(), "a name");
                       }});
}

}  // namespace vantorel::command_line
