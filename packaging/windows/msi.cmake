# Makes the MSI package (run by installers.cmake: cmake -D...=... -P msi.cmake, in the folder of
# files.wxs). wixl writes the tables; msibuild then sets what wixl cannot:
# - the product and package codes, derived from the version and the bytes of everything packed
#   (a rebuild with the same files is the same package; with other files, another one that
#   replaces it: the older-versions row of the Upgrade table includes this version);
# - RemoveExistingProducts right after InstallInitialize: the earlier copy goes first (Wine's
#   installer, unlike Windows', would delete the files of the components both copies share if
#   it ran last), the teacher's recordings set aside by custode.exe and put back;
# - the custom actions running custode.exe from the binary table, around the file actions;
# - the summary: languages x64;1040 (wixl writes 1033), the package code, and the times of
#   SOURCE_DATE_EPOCH (wixl writes the time of the build: it runs under faketime).
# Variables: WIXL MSIBUILD FAKETIME STAGE ICON CUSTODE VERSION VERSION_TEXT UPGRADE_CODE SOURCES
# (the .wxs files) OUTPUT, and SIGN (a command signing the file given last), empty when unsigned.

cmake_minimum_required(VERSION 3.25)
get_filename_component(stage ${STAGE} ABSOLUTE)
file(GLOB_RECURSE packed LIST_DIRECTORIES false RELATIVE ${stage} ${stage}/*)
list(SORT packed)
set(digest "${VERSION}")
foreach(file IN LISTS packed)
  file(SHA256 ${stage}/${file} sum)
  string(APPEND digest " ${file}=${sum}")
endforeach()
foreach(file IN LISTS SOURCES CUSTODE ICON)
  file(SHA256 ${file} sum)
  string(APPEND digest " ${sum}")
endforeach()
string(SHA256 digest "${digest}")
string(UUID product NAMESPACE ${UPGRADE_CODE} NAME "product ${digest}" TYPE SHA1 UPPER)
string(UUID package NAMESPACE ${UPGRADE_CODE} NAME "package ${digest}" TYPE SHA1 UPPER)

string(TIMESTAMP when "%Y-%m-%d %H:%M:%S" UTC)  # SOURCE_DATE_EPOCH's, when set
set(ENV{TZ} UTC)
set(made ${OUTPUT}.made)
execute_process(COMMAND ${FAKETIME} -f ${when} ${WIXL} --arch x64 -D Stage=${STAGE} -D Icon=${ICON}
                        -D Custode=${CUSTODE} -D Version=${VERSION} -D VersionText=${VERSION_TEXT}
                        -D ProductCode=${product} -D UpgradeCode=${UPGRADE_CODE} -o ${made} ${SOURCES}
                COMMAND_ERROR_IS_FATAL ANY)
# The actions running custode.exe: 3074 is an exe of the binary table (2), deferred (1024), with
# the system's rights (2048). They are added here, in a fixed order, because wixl orders the
# strings of its own custom actions differently from one run to the next.
set(queries)
foreach(row IN ITEMS "aside;3490;" "remove;3510;REMOVE=\"ALL\" AND NOT UPGRADINGPRODUCTCODE"
                     "restore;3520;REMOVE=\"ALL\" AND UPGRADINGPRODUCTCODE" "protect;4010;NOT REMOVE=\"ALL\""
                     "back;4020;NOT REMOVE=\"ALL\"")
  list(GET row 0 action)
  list(GET row 1 sequence)
  list(GET row 2 condition)
  list(APPEND queries
    -q "INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('${action}', 3074, 'custode', '${action} \"[INSTALLDIR].\"')"
    -q "INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES ('${action}', '${condition}', ${sequence})")
endforeach()
execute_process(COMMAND ${FAKETIME} -f ${when} ${MSIBUILD} ${made} ${queries}
  -q "UPDATE `InstallExecuteSequence` SET `Sequence` = 1501 WHERE `Action` = 'RemoveExistingProducts'"
  -q "DELETE FROM `Upgrade` WHERE `ActionProperty` = 'WIX_UPGRADE_DETECTED'"
  # 513: features migrated (1), this version included (512).
  -q "INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMax`, `Attributes`, `ActionProperty`) VALUES ('{${UPGRADE_CODE}}', '${VERSION}', 513, 'WIX_UPGRADE_DETECTED')"
  -s "Zefirana ${VERSION_TEXT}" "Gli sviluppatori di Zefirana" "x64;1040" "{${package}}"
  COMMAND_ERROR_IS_FATAL ANY)
if(SIGN)
  execute_process(COMMAND ${SIGN} ${made} COMMAND_ERROR_IS_FATAL ANY)
endif()
file(RENAME ${made} ${OUTPUT})
