# The build channel and the updater's configuration.
#
#   local    a build from a checkout (the default); it does not update itself
#   package  the Debian package (VISTREL_PACKAGE=ON); the package manager updates it
#   release  the self-updating archive (VISTREL_RELEASE=ON); needs the release key's public half
option(VISTREL_RELEASE "A self-updating release build (build channel \"release\")" OFF)
option(VISTREL_PACKAGE "A build for the Debian package (build channel \"package\")" OFF)
set(VISTREL_UPDATE_PUBLIC_KEY "" CACHE STRING
    "The release key's public half: the 32-byte Ed25519 public key in base64, as in the appcast format")
set(VISTREL_UPDATE_FEED_URL "https://vistrel.app/appcast.xml" CACHE STRING "The update feed (an RSS appcast)")

if(VISTREL_RELEASE AND VISTREL_PACKAGE)
  message(FATAL_ERROR "VISTREL_RELEASE and VISTREL_PACKAGE exclude each other: a release updates itself, "
                      "a package is updated by the package manager.")
endif()
if(VISTREL_RELEASE)
  set(VISTREL_CHANNEL "release")
  if(NOT VISTREL_UPDATE_PUBLIC_KEY)
    message(FATAL_ERROR "A release build (VISTREL_RELEASE=ON) checks its updates against the release key. Pass its "
                        "public half: -DVISTREL_UPDATE_PUBLIC_KEY=<base64 Ed25519 public key>, as printed by "
                        "`vistrel-sign public-key <secret key file>`.")
  endif()
elseif(VISTREL_PACKAGE)
  set(VISTREL_CHANNEL "package")
else()
  set(VISTREL_CHANNEL "local")
endif()

# 32 bytes in base64: 43 characters and one "=".
string(LENGTH "${VISTREL_UPDATE_PUBLIC_KEY}" key_length)
if(VISTREL_UPDATE_PUBLIC_KEY AND NOT (key_length EQUAL 44 AND VISTREL_UPDATE_PUBLIC_KEY MATCHES "^[A-Za-z0-9+/]+=$"))
  message(FATAL_ERROR "VISTREL_UPDATE_PUBLIC_KEY is not a base64 Ed25519 public key (44 characters ending in "
                      "\"=\"): \"${VISTREL_UPDATE_PUBLIC_KEY}\"")
endif()
if(NOT VISTREL_UPDATE_FEED_URL MATCHES "^https?://")
  message(FATAL_ERROR "VISTREL_UPDATE_FEED_URL must be an http or https address: \"${VISTREL_UPDATE_FEED_URL}\"")
endif()
