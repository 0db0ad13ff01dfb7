#include "demo_messages.h"

namespace VNOrvak
{

namespace
{

constexpr int kHour = 60;
constexpr int kDay = 24 * kHour;

} // namespace

const QList<DemoMessage> &demoMessages()
{
    static const QList<DemoMessage> messages = {
        {"NA000001001A", 14, "en-us+f3",
         "Hi, this is Dana Whitfield from Harbor Freight. The delivery for your loading dock is "
         "running about an hour late."},
        {"MA000001001B", 2 * kDay + 3 * kHour, "en-us+m3",
         "Good morning, it's Sam from the print shop. Your brochures are ready for pickup."},
        {"MA000001001C", 5 * kDay, "en+f2",
         "Hello, just confirming the meeting room booking for Thursday at ten. Thanks."},
        {"NA000001002A", 47, "en-us+f4",
         "This is Priya Natarajan calling about the quote you sent. Could you call me back "
         "before five?"},
        {"NA000001002B", 1 * kDay + 2 * kHour, "en+m1",
         "Hi, Tom Becker here. I would like to add two more licences to our order."},
        {"MA000002001A", 3 * kDay, "en-us+m3",
         "Hello, this is the building manager. The fire alarm test is on Monday at nine."},
        {"MA000002001B", 3 * kDay - 2 * kHour, "en+f2",
         "A reminder from the dentist's office: your appointment is tomorrow at two thirty."},
        {"NA000002002A", 1 * kDay + 5 * kHour, "en-us+f3",
         "Hi, it's Alex from I T support. Your new headset has arrived at the service desk."},
        {"MA000002002B", 8 * kDay, "en-us+f4",
         "Hello, this is Carla from accounts. The expense report is approved, thank you."},
        {"MA000003003A", 9 * kDay, "en+m1",
         "Good afternoon, a message for the night shift supervisor. Please check the gate "
         "camera."},
        {"NA000003003B", 95, "en-us+m3",
         "This is Mike at the warehouse. The forklift battery is flat and we need a "
         "replacement as soon as possible."},
        {"MA000003003C", 4 * kDay, "en-us+f3",
         "Hi, Jenny here, just returning your call. Talk to you soon."},
    };
    return messages;
}

} // namespace VNOrvak
