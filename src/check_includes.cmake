# cmake -DFILES=a;b -DFORBIDDEN=x;y -DSTAMP=file -P check_includes.cmake
# Fails when one of FILES includes a header from one of the FORBIDDEN folders.
foreach(file IN LISTS FILES)
    file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
    foreach(line IN LISTS includes)
        foreach(folder IN LISTS FORBIDDEN)
            if(line MATCHES "[\"<](\\.\\./)*${folder}/")
                message(FATAL_ERROR "${file}: ${line}: this layer must not include ${folder}/")
            endif()
        endforeach()
    endforeach()
endforeach()
file(TOUCH ${STAMP})
