// The module's shared state: the central record CarrierModuleState with the
// records it links, and the module-wide values that one subsystem writes and
// others read. Values private to one subsystem live in that subsystem.
//
// Index: [received records] [configuration records] [current carrier]
//        [central record] [module-wide values]
#pragma once

#include <cstdint>
#include <string>

#include "platform/simconnect.h"

// [received records] ----------------------------------------------------------
// Copies of the records that SimConnect delivers, byte for byte: the layouts
// are those of the data definitions the connection declares.
#pragma pack(push, 1)
struct UserAircraftData {
    double planeAltitude;        // nmiles
    double planeLatitude;        // radians, north positive
    double planeLongitude;       // radians, east positive
    double planeHeadingTrue;     // radians
    double brakeIndicator;       // percent
    double eng1N1Rpm;            // percent
    double eng1ThrottlePosition; // percent
    double ambientWindZ;         // knots, along the aircraft's axis
    double groundVelocity;       // meters per second
    int32_t simOnGround;         // 1 on the ground
    int32_t cableCaught;         // 0 none, else the wire number
    double tailhookPosition;     // percent
};

struct BoatListEntry {
    char title[256];       // zero-terminated when valid
    double planeLatitude;  // radians
    double planeLongitude; // radians, east positive
};

struct CarrierObjectData {
    char title[256];
    double planeAltitude;        // nmiles
    double planeLatitude;        // radians
    double planeLongitude;       // radians, east positive
    double planeHeadingTrue;     // radians
    double airspeedTrue;         // meters per second
    double rotationVelocityBodyY;// as the simulator gives it
    double blastShield[4];       // percent, deflectors 1 to 4
};
#pragma pack(pop)

static_assert(sizeof(UserAircraftData) == 88, "user aircraft record");
static_assert(sizeof(BoatListEntry) == 272, "boat list record");
static_assert(sizeof(CarrierObjectData) == 336, "carrier object record");

// [configuration records] -------------------------------------------------------
// Read from the parameters file at module start (config/parameters).
struct KeyboardCommands {
    std::string ToggleInput;  // input definition of the animation toggle
    std::string RefuelInput;  // input definition of the refuel request
};

struct LightParameters {
    double Dist_Check_WaveOff;  // nm: approach distance of the wave-off check
    double GS_Error_Max;        // deg: wave-off above this glide-slope error
    double GS_Error_Min;        // deg: wave-off below this glide-slope error
    double LOC_Error_Max;       // deg: wave-off above this localiser error
    double LOC_Error_Min;       // deg: wave-off below this localiser error
    double Dist_Activation;     // nm: meatball valid inside this distance
    double Meatball_GS_Max;     // deg: full deflection above the slope
    double Meatball_GS_Min;     // deg: full deflection below the slope (negative)
    double Meatball_Power;      // exponent of the scaled error
    double WO_Duration;         // s: wave-off lights stay on
    double PowerLight_Duration; // s: power light stays on
};

struct LsoParameters {
    double Check_CallBall;       // nm
    double Check_Altitude_1;     // nm
    double Check_LOC_1;          // nm
    double Check_Altitude_2;     // nm
    double Check_LOC_2;          // nm
    double Check_Altitude_3;     // nm
    double Check_LOC_3;          // nm
    double TooHigh_Angle;        // deg of glide-slope error
    double TooLow_Angle;         // deg of glide-slope error
    double LOC_Angle;            // deg of line-up error (absolute)
    double ApproachGaugeSetting; // deg of angle of attack; 0 disables the power light
};

struct CatapultParameters {
    std::string Catapult_sound_file;  // path handed to the sound library
    std::string Launch_Input;         // input definition of the launch request
    double Speed_Margin;              // knots added to the launch speed
    double Catapult_Lenght;           // m: stroke length
    double Launch_Delay;              // s: request to stroke start
};

// The officer's sound files and messages of the current carrier's language
// (config/sound_list). "none" means no sound or no text.
struct SoundList {
    std::string Wire1, Wire2, Wire3, Wire4, TooHigh, TooLow, LineUp, CallBall, WaveOff;
    std::string Wire1_msg, Wire2_msg, Wire3_msg, Wire4_msg, TooHigh_msg, TooLow_msg, LineUp_msg,
        CallBall_msg, WaveOff_msg;
    uint8_t soundReloadNeeded;  // set by the carrier lookup: 1 when the language is not "none"
};

// [current carrier] ----------------------------------------------------------------
enum CarrierKind : int32_t {
    CARRIER_TYPE_NONE = 0,
    CARRIER_TYPE_SHIP = 1,
    CARRIER_TYPE_FIXED_SITE = 2,
};

// The landing place selected by the last TACAN tuning: file fields from the
// carrier list (config/carrier_list), live deck fields from the ship data
// (sim/dispatch). Deck offsets are metres in the ship's frame: X starboard,
// Y up, Z forward.
struct CarrierEntry {
    std::string Name;          // shown to the user; "none" when nothing matched
    std::string FLOLS_Name;    // FLOLS object title (fixed site)
    std::string Sim_Name;      // ship object title
    std::string Sim_Name_Helo; // helicopter object title, "none" for none
    std::string Language;      // officer's language, "none" for no sounds
    float Frequency;           // MHz, the frequency looked up
    double Helo_Bearing;       // deg, relative to the ship's heading
    double Helo_Distance;      // m from the ship
    double GS_Angle;           // deg
    double RunwayAngle;        // deg left of the ship's heading
    double ILS_Xcoord, ILS_Ycoord, ILS_Zcoord;  // m: glide-slope aim point
    double TCN_Xcoord, TCN_Ycoord, TCN_Zcoord;  // m: TACAN antenna
    double Lat_FLOLS;          // deg: FLOLS object of a fixed site
    double Lon_FLOLS;          // deg, east positive
    double deckAltitude;       // nm
    double deckLatitude;       // rad
    double deckLongitude;      // rad, west positive
    double deckHeading;        // rad, true
    double deckSpeed;          // m/s, the ship's true airspeed
    double deckYawRate;        // the ship's body rotation velocity about its vertical axis
    double blastDeflector1, blastDeflector2, blastDeflector3, blastDeflector4;  // percent
    int32_t CarrierType;       // CarrierKind
    int32_t valid;             // 1 when the last lookup matched an entry
};

// [central record] -----------------------------------------------------------------
// One per process, created by module start and never freed; the records it
// links keep their identity for the module's life.
struct CarrierModuleState {
    UserAircraftData* userAircraft;   // latest user-aircraft frame (sim/dispatch)
    CarrierObjectData* ship;          // latest ship frame (sim/dispatch)
    BoatListEntry* boat;              // latest boat-list record (sim/dispatch)
    CarrierEntry* carrier;            // current carrier (config/carrier_list, sim/dispatch)
    CatapultParameters* catapult;     // parameters file
    KeyboardCommands* commands;       // parameters file
    LightParameters* lights;          // parameters file
    LsoParameters* lso;               // parameters file; ApproachGaugeSetting also by the approach gauge
    SoundList* sounds;                // sound lists (config/sound_list)
    int32_t boatCount;                // total count of the last boat-list message
};

// Returns the process's central record, creating it on the first call; later
// calls return the same record. Its links are null until module start
// allocates the records (create_state_records).
CarrierModuleState* get_or_create_module_state();

// Allocates every linked record, zero-filled with empty texts, in the order
// user aircraft, ship, boat, carrier, catapult, commands, lights, officer,
// sounds, and links it into `state`. Records an earlier start linked are
// reused, set back to zero and empty texts.
void create_state_records(CarrierModuleState* state);

// The module-wide pointer to the central record. Set by module start (before
// anything else reads it) and never changed afterwards; every subsystem reads
// the records through it. Null before module start.
extern CarrierModuleState* moduleState;

// [module-wide values] ----------------------------------------------------------------
// Start values are those at module load; the owner is the only writer unless
// noted.

// Approach solution (geo/approach; "Meatball_Position" by the light logic;
// also cleared by the carrier selection). Published one for one by the
// navigation gauge under the names in quotes.
struct ApproachSolution {
    double magneticVariation; // rad: last "(A:MAGVAR, radians)"; not published
    double BRC;               // "BRC": rad, the ship's true heading
    double rwyTrueHeading;    // "RWY_True_Heading": rad [0, 2pi)
    double rwyHeading;        // "RWY_Heading": rad, magnetic [0, 2pi)
    double ilsLat;            // "ILS Lat": rad
    double ilsLon;            // "ILS Lon": rad, west positive
    double ilsTrueRadial;     // "ILS True Radial": rad [0, 2pi)
    double ilsRadial;         // "ILS Radial": rad, magnetic
    double ilsSlantRange;     // "ILS Slant Range": nm, the approach distance
    double gsError;           // "GS Error": deg, positive above the slope
    double locError;          // "LOC Error": deg (-180, 180], positive left of the line
    double tcnTrueRadial;     // "TCN True Radial": rad [0, 2pi)
    double tcnRadial;         // "TCN Radial": rad, magnetic
    double tcnCdi;            // "TCN CDI": deg, limited to +-10
    int32_t tcnToFrom;        // "TCN_TOFROM": 1 to, 2 from, 0 cleared
    double tcnSlantRange;     // "TCN Slant Range": nm
    uint8_t tcnValid;         // "TCN Valid": carrier found and within 100 nm
    uint8_t ilsGsValid;       // "ILS_GS_VALID"
    uint8_t ilsLocValid;      // "ILS_LOC_VALID"
    double meatballPosition;  // "Meatball_Position": -50 .. +50 (light logic)
};
extern ApproachSolution approachSolution;

// SimConnect connection (sim/connection): handle, and the result of the last
// call the module made. Every SimConnect caller stores its result here.
extern HANDLE simConnectHandle;
extern HRESULT lastSimConnectResult;

// Input bindings (sim/connection): whether each command's input text names a
// joystick button; read by the deck services.
extern uint8_t toggleIsButton;
extern uint8_t refuelIsButton;
extern uint8_t launchIsButton;

// Carrier selection (sim/dispatch): a landing place is selected and present.
extern uint8_t carrierFound;

// Position record handed to AI object creation (sim/dispatch); module start
// writes the start value.
extern SIMCONNECT_DATA_INITPOSITION aiInitPosition;

// Fuel levels written by the refuel command, percent; module start sets 99.9.
constexpr int REFUEL_TANK_COUNT = 11;
extern double refuelLevels[REFUEL_TANK_COUNT];

// Engine N1 percentage a launch request needs (parameters file), start 0.
extern int32_t EnginePowerPercent;

// TACAN receiver (gauges/tacan_navigation): 2 = NAV2, anything else NAV1.
extern int32_t tacanReceiver;
// Active frequency of that receiver as last read, MHz (gauges/tacan_navigation).
extern double tunedTacanFrequency;
// 1 from the update that saw a new frequency until the next (gauges/tacan_navigation).
extern uint8_t tuningChanged;

// Launch state (launchPhase, launchArmed, launchRequested, catapultTargetSpeed,
// catapultCrossSpeed and the rest): catapult/catapult.h.
