! Reads a file of data base or GIS records list-directed, one whole record a
! read, and writes every record again with the layout given on the command
! line.  A second file gets what was read: for every column the bit pattern
! of its real and its integer (0 where the column is of the other kind), then
! the text of the record between brackets.
!
! record_echo KIND LAYOUT INPUT OUTPUT DUMP
! KIND: link, node, subarea, gisnode, gislink or gissubarea.
program record_echo
  implicit none
  character(len=16) :: kind
  character(len=4000) :: layout
  character(len=1024) :: input, output, dump
  real :: r(655)
  integer :: iv(655), n, i, status
  character(len=10) :: text

  call get_command_argument(1, kind)
  call get_command_argument(2, layout)
  call get_command_argument(3, input)
  call get_command_argument(4, output)
  call get_command_argument(5, dump)

  select case (trim(kind))
  case ('link', 'subarea')
    n = 188
  case ('node')
    n = 655
  case ('gisnode')
    n = 3
  case ('gislink')
    n = 20
  case ('gissubarea')
    n = 31
  case default
    stop 2
  end select

  open(10, file=input, status='old', action='read')
  open(11, file=output, status='replace', action='write')
  open(12, file=dump, status='replace', action='write')
  status = 0
  do
    r = 0.0
    iv = 0
    text = ' '
    select case (trim(kind))
    case ('link')
      read(10, *, iostat=status) r(1:5), text, iv(7), r(8:18), iv(19), r(20), iv(21:22), r(23:90), iv(91), &
        r(92:121), iv(122:123), r(124:137), iv(138), r(139:188)
      if (status /= 0) exit
      write(11, layout) r(1:5), text, iv(7), r(8:18), iv(19), r(20), iv(21:22), r(23:90), iv(91), &
        r(92:121), iv(122:123), r(124:137), iv(138), r(139:188)
    case ('node')
      read(10, *, iostat=status) r(1:2), text, r(4:285), iv(286:287), r(288:655)
      if (status /= 0) exit
      write(11, layout) r(1:2), text, r(4:285), iv(286:287), r(288:655)
    case ('subarea')
      read(10, *, iostat=status) r(1), text, r(3:188)
      if (status /= 0) exit
      write(11, layout) r(1), text, r(3:188)
    case ('gisnode')
      read(10, *, iostat=status) r(1:3)
      if (status /= 0) exit
      write(11, layout) r(1:3)
    case ('gislink')
      read(10, *, iostat=status) r(1:12), iv(13), r(14), iv(15), r(16:20)
      if (status /= 0) exit
      write(11, layout) r(1:12), iv(13), r(14), iv(15), r(16:20)
    case ('gissubarea')
      read(10, *, iostat=status) r(1:31)
      if (status /= 0) exit
      write(11, layout) r(1:31)
    end select
    write(12, '(*(I0,:,1X))') (transfer(r(i), 0), iv(i), i = 1, n)
    write(12, '(A)') '[' // text // ']'
  end do
  close(10)
  close(11)
  close(12)
  if (status > 0) stop 1
end program record_echo
